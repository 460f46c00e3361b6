// User content controllers of the Dart side: their script-message handlers and user scripts.
// Removing every handler needs macOS 11.0.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_content_controller.h"

namespace wkwebview_host {

class UserContentControllerProxyAPIDelegate final
    : public PigeonApiDelegateWKUserContentController {
 public:
  void addScriptMessageHandler(Api& /*api*/, Controller& pigeonInstance,
                               std::shared_ptr<WKScriptMessageHandler> handler,
                               const std::string& name) override {
    pigeonInstance.addScriptMessageHandler(std::move(handler), name);
  }
  void removeScriptMessageHandler(Api& /*api*/, Controller& pigeonInstance,
                                  const std::string& name) override {
    pigeonInstance.removeScriptMessageHandlerForName(name);
  }
  void removeAllScriptMessageHandlers(Api& api, Controller& pigeonInstance) override;
  void addUserScript(Api& /*api*/, Controller& pigeonInstance,
                     std::shared_ptr<WKUserScript> userScript) override {
    pigeonInstance.addUserScript(std::move(userScript));
  }
  void removeAllUserScripts(Api& /*api*/, Controller& pigeonInstance) override {
    pigeonInstance.removeAllUserScripts();
  }
};

}  // namespace wkwebview_host
