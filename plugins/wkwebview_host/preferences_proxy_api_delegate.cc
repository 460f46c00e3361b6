#include "plugins/wkwebview_host/preferences_proxy_api_delegate.h"

#include "platform/foundation/ns_process_info.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

void PreferencesProxyAPIDelegate::setJavaScriptEnabled(PigeonApiWKPreferences&,
                                                       WKPreferences& pigeonInstance,
                                                       bool enabled) {
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0})) {
    throw ProxyAPIRegistrar::createUnsupportedVersionError("WKPreferences.javaScriptEnabled",
                                                           "< iOS 14.0, macOS 11.0");
  }
  pigeonInstance.setJavaScriptEnabled(enabled);
}

}  // namespace wkwebview_host
