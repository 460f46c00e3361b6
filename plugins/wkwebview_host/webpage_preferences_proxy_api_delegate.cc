#include "plugins/wkwebview_host/webpage_preferences_proxy_api_delegate.h"

#include "platform/foundation/ns_process_info.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

void WebpagePreferencesProxyAPIDelegate::setAllowsContentJavaScript(
    PigeonApiWKWebpagePreferences&, WKWebpagePreferences& pigeonInstance, bool allow) {
  if (!NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0})) {
    throw ProxyAPIRegistrar::createUnsupportedVersionError(
        "WKWebpagePreferences.allowsContentJavaScript", "iOS 14.0, macOS 11.0");
  }
  pigeonInstance.setAllowsContentJavaScript(allow);
}

}  // namespace wkwebview_host
