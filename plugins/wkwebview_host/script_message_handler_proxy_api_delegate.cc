#include "plugins/wkwebview_host/script_message_handler_proxy_api_delegate.h"

#include "plugins/wkwebview_host/script_message_handler_impl.h"

namespace wkwebview_host {

// The handler calls the Dart side through an API object of its own.
std::shared_ptr<NSObject>
ScriptMessageHandlerProxyAPIDelegate::pigeonDefaultConstructor(
    PigeonApiWKScriptMessageHandler& api) {
  auto& registrar = api.pigeonRegistrar();
  auto* plugin_registrar = ProxyAPIRegistrar::from(registrar);
  if (plugin_registrar == nullptr) {
    throw PigeonError("channel-error", "The registrar cannot reach the Dart side.",
                      flutter::Value());
  }
  return makeObject<ScriptMessageHandlerImpl>(
      registrar.apiDelegate().pigeonApiWKScriptMessageHandler(registrar), *plugin_registrar);
}

}  // namespace wkwebview_host
