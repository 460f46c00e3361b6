#include "plugins/wkwebview_host/user_content_controller_proxy_api_delegate.h"

#include "platform/foundation/ns_process_info.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

void UserContentControllerProxyAPIDelegate::removeAllScriptMessageHandlers(
    Api&, Controller& pigeonInstance) {
  if (!NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0})) {
    throw ProxyAPIRegistrar::createUnsupportedVersionError(
        "WKUserContentController.removeAllScriptMessageHandlers", "iOS 14.0, macOS 11.0");
  }
  pigeonInstance.removeAllScriptMessageHandlers();
}

}  // namespace wkwebview_host
