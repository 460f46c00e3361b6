// An asset made from a URL, with the options it was created with (precise timing, HTTP user
// agent and header fields). The stand-in loads nothing; tests decide what its items report.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>

#include "platform/foundation/ns_url.h"

using AVURLAssetOptions = std::map<std::string, std::any>;

// bool.
inline constexpr const char* AVURLAssetPreferPreciseDurationAndTimingKey =
    "AVURLAssetPreferPreciseDurationAndTimingKey";
// std::string.
inline constexpr const char* AVURLAssetHTTPUserAgentKey = "AVURLAssetHTTPUserAgentKey";
// std::map<std::string, std::string>: header fields sent with every request.
inline constexpr const char* AVURLAssetHTTPHeaderFieldsKey = "AVURLAssetHTTPHeaderFieldsKey";

class AVURLAsset {
 public:
  static std::shared_ptr<AVURLAsset> URLAssetWithURL(const NSURL& url, AVURLAssetOptions options);
  AVURLAsset(NSURL url, AVURLAssetOptions options);

  const NSURL& URL() const { return url_; }
  const AVURLAssetOptions& options() const { return options_; }

 private:
  NSURL url_;
  AVURLAssetOptions options_;
};
