// A message that a page's script posted to a named message handler.
#pragma once

#include <string>

#include "platform/webkit/ns_object.h"

class WKScriptMessage : public foundation::NSObject {
 public:
  WKScriptMessage(std::string name, foundation::AnyValue body)
      : name_(std::move(name)), body_(std::move(body)) {}

  const std::string& name() const { return name_; }
  const foundation::AnyValue& body() const { return body_; }

 private:
  std::string name_;
  foundation::AnyValue body_;
};
