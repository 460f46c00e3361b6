// The script-message handler that the Dart side creates: every message a page posts to it is
// forwarded to the Dart side on a later turn of the main queue; failures are only logged.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"
#include "platform/webkit/wk_script_message_handler.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message_handler.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

class ScriptMessageHandlerImpl final : public NSObject, public WKScriptMessageHandler {
 public:
  // The registrar is not owned: a message arriving after it has gone is dropped.
  ScriptMessageHandlerImpl(std::unique_ptr<PigeonApiProtocolWKScriptMessageHandler> api,
                           ProxyAPIRegistrar& registrar);

  void userContentController(const std::shared_ptr<WKUserContentController>& userContentController,
                             const std::shared_ptr<WKScriptMessage>& message) override;

 private:
  std::shared_ptr<PigeonApiProtocolWKScriptMessageHandler> api_;
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar_;
};

}  // namespace wkwebview_host
