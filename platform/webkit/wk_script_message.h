// A message that a page's script posted to a named message handler.
#pragma once

#include <string>

#include "platform/foundation/ns_object.h"

class WKScriptMessage : public NSObject {
 public:
  WKScriptMessage(std::string name, AnyValue body)
      : name_(std::move(name)), body_(std::move(body)) {}

  const std::string& name() const { return name_; }
  const AnyValue& body() const { return body_; }

 private:
  std::string name_;
  AnyValue body_;
};
