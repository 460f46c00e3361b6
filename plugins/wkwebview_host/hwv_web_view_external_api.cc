#include "plugins/wkwebview_host/hwv_web_view_external_api.h"

#include "plugins/wkwebview_host/webview_host_plugin.h"

std::shared_ptr<WKWebView> HWVWebViewExternalAPI::webViewForIdentifier(
    int64_t identifier, FlutterPluginRegistry& registry) {
  // The plug-in publishes itself as a FlutterPlugin.
  auto published = std::static_pointer_cast<FlutterPlugin>(
      registry.valuePublishedByPlugin(wkwebview_host::WebViewHostPlugin::kPluginKey));
  auto plugin = std::dynamic_pointer_cast<wkwebview_host::WebViewHostPlugin>(published);
  if (!plugin || !plugin->proxyApiRegistrar()) return nullptr;
  return std::dynamic_pointer_cast<WKWebView>(
      plugin->proxyApiRegistrar()->instanceManager()->lookupObject(identifier));
}
