#include "plugins/wkwebview_host/script_message_handler_impl.h"

namespace wkwebview_host {

ScriptMessageHandlerImpl::ScriptMessageHandlerImpl(
    std::unique_ptr<PigeonApiProtocolWKScriptMessageHandler> api, ProxyAPIRegistrar& registrar)
    : api_(std::move(api)), registrar_(registrar.weak_from_this()) {}

void ScriptMessageHandlerImpl::userContentController(
    const std::shared_ptr<WKUserContentController>& userContentController,
    const std::shared_ptr<WKScriptMessage>& message) {
  auto registrar = registrar_.lock();
  auto* plugin_registrar = registrar ? ProxyAPIRegistrar::from(*registrar) : nullptr;
  if (plugin_registrar == nullptr) return;
  plugin_registrar->dispatchOnMainThread([self = self(), api = api_, userContentController,
                                          message](const PigeonFailureReporter& onFailure) {
    api->didReceiveScriptMessage(
        self, userContentController, message, [onFailure](const PigeonResult& result) {
          if (const auto* error = std::get_if<PigeonError>(&result)) {
            onFailure("WKScriptMessageHandler.didReceiveScriptMessage", *error);
          }
        });
  });
}

}  // namespace wkwebview_host
