// The protocol of an object that receives the messages a page's script posts to it by name.
#pragma once

#include <memory>

class WKUserContentController;
class WKScriptMessage;

class WKScriptMessageHandler {
 public:
  virtual ~WKScriptMessageHandler() = default;
  virtual void userContentController(
      const std::shared_ptr<WKUserContentController>& userContentController,
      const std::shared_ptr<WKScriptMessage>& message) = 0;
};
