// The user scripts and script-message handlers of the web views of a configuration. The
// controller holds its scripts and handlers strongly.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/ns_object.h"
#include "platform/webkit/wk_script_message_handler.h"
#include "platform/webkit/wk_user_script.h"

class WKUserContentController : public NSObject {
 public:
  std::vector<std::shared_ptr<WKUserScript>> userScripts() const;
  void addUserScript(std::shared_ptr<WKUserScript> userScript);
  void removeAllUserScripts();

  // Pages reach the handler as window.webkit.messageHandlers.<name>. A name already in use
  // keeps its handler: the new one is refused with a log line.
  void addScriptMessageHandler(std::shared_ptr<WKScriptMessageHandler> scriptMessageHandler,
                               const std::string& name);
  void removeScriptMessageHandlerForName(const std::string& name);
  void removeAllScriptMessageHandlers();
  // The handler under `name`; null when there is none.
  std::shared_ptr<WKScriptMessageHandler> scriptMessageHandlerForName(
      const std::string& name) const;
  // The names with a handler, in name order.
  std::vector<std::string> scriptMessageHandlerNames() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<WKUserScript>> user_scripts_;
  std::map<std::string, std::shared_ptr<WKScriptMessageHandler>> script_message_handlers_;
};
