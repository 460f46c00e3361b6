#include "platform/webkit/wk_user_content_controller.h"

#include "platform/foundation/ns_log.h"

std::vector<std::shared_ptr<WKUserScript>> WKUserContentController::userScripts() const {
  std::lock_guard lock(mutex_);
  return user_scripts_;
}

void WKUserContentController::addUserScript(std::shared_ptr<WKUserScript> userScript) {
  if (!userScript) return;
  std::lock_guard lock(mutex_);
  user_scripts_.push_back(std::move(userScript));
}

void WKUserContentController::removeAllUserScripts() {
  std::vector<std::shared_ptr<WKUserScript>> released;
  std::lock_guard lock(mutex_);
  released.swap(user_scripts_);
}

// The platform stops the process here; a log line is enough to find the mistake.
void WKUserContentController::addScriptMessageHandler(
    std::shared_ptr<WKScriptMessageHandler> scriptMessageHandler, const std::string& name) {
  if (!scriptMessageHandler) return;
  std::lock_guard lock(mutex_);
  if (!script_message_handlers_.try_emplace(name, std::move(scriptMessageHandler)).second) {
    NSLog(
        "WKUserContentController: a script message handler named '%s' already exists; the new "
        "one is ignored",
        name.c_str());
  }
}

void WKUserContentController::removeScriptMessageHandlerForName(const std::string& name) {
  std::shared_ptr<WKScriptMessageHandler> released;
  std::lock_guard lock(mutex_);
  auto found = script_message_handlers_.find(name);
  if (found == script_message_handlers_.end()) return;
  released = std::move(found->second);
  script_message_handlers_.erase(found);
}

void WKUserContentController::removeAllScriptMessageHandlers() {
  std::map<std::string, std::shared_ptr<WKScriptMessageHandler>> released;
  std::lock_guard lock(mutex_);
  released.swap(script_message_handlers_);
}

std::shared_ptr<WKScriptMessageHandler> WKUserContentController::scriptMessageHandlerForName(
    const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto found = script_message_handlers_.find(name);
  return found != script_message_handlers_.end() ? found->second : nullptr;
}

std::vector<std::string> WKUserContentController::scriptMessageHandlerNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, handler] : script_message_handlers_) names.push_back(name);
  return names;
}
