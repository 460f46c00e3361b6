// A script that a user content controller injects into the pages it serves.
#pragma once

#include <string>

#include "platform/foundation/ns_object.h"

enum WKUserScriptInjectionTime : int64_t {
  WKUserScriptInjectionTimeAtDocumentStart = 0,
  WKUserScriptInjectionTimeAtDocumentEnd = 1,
};

class WKUserScript : public NSObject {
 public:
  WKUserScript(std::string source, WKUserScriptInjectionTime injectionTime, bool forMainFrameOnly)
      : source_(std::move(source)),
        injection_time_(injectionTime),
        for_main_frame_only_(forMainFrameOnly) {}

  const std::string& source() const { return source_; }
  WKUserScriptInjectionTime injectionTime() const { return injection_time_; }
  bool isForMainFrameOnly() const { return for_main_frame_only_; }

 private:
  std::string source_;
  WKUserScriptInjectionTime injection_time_;
  bool for_main_frame_only_;
};
