// A script message that holds its page's room for it: the page gets the room back when the last
// copy of the message goes, wherever that is (the handler, the objects it handed on).
#pragma once

#include <memory>
#include <string>

#include "platform/webkit/wk_script_message.h"

namespace webkit {

class LeasedScriptMessage final : public WKScriptMessage {
 public:
  LeasedScriptMessage(std::string name, AnyValue body, std::shared_ptr<void> lease)
      : WKScriptMessage(std::move(name), std::move(body)), lease_(std::move(lease)) {}

 private:
  std::shared_ptr<void> lease_;
};

}  // namespace webkit
