#include "plugins/wkwebview_host/web_view_configuration_proxy_api_delegate.h"

#include <array>

#include "platform/foundation/ns_process_info.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

std::shared_ptr<WKWebViewConfiguration>
WebViewConfigurationProxyAPIDelegate::pigeonDefaultConstructor(Api&) {
  return makeObject<WKWebViewConfiguration>();
}

void WebViewConfigurationProxyAPIDelegate::setUserContentController(
    Api&, Configuration& pigeonInstance, std::shared_ptr<WKUserContentController> controller) {
  pigeonInstance.setUserContentController(std::move(controller));
}

std::shared_ptr<WKUserContentController>
WebViewConfigurationProxyAPIDelegate::getUserContentController(
    Api&, const Configuration& pigeonInstance) {
  return pigeonInstance.userContentController();
}

void WebViewConfigurationProxyAPIDelegate::setWebsiteDataStore(
    Api&, Configuration& pigeonInstance, std::shared_ptr<WKWebsiteDataStore> dataStore) {
  pigeonInstance.setWebsiteDataStore(std::move(dataStore));
}

std::shared_ptr<WKWebsiteDataStore> WebViewConfigurationProxyAPIDelegate::getWebsiteDataStore(
    Api&, const Configuration& pigeonInstance) {
  return pigeonInstance.websiteDataStore();
}

void WebViewConfigurationProxyAPIDelegate::setPreferences(
    Api&, Configuration& pigeonInstance, std::shared_ptr<WKPreferences> preferences) {
  pigeonInstance.setPreferences(std::move(preferences));
}

std::shared_ptr<WKPreferences> WebViewConfigurationProxyAPIDelegate::getPreferences(
    Api&, const Configuration& pigeonInstance) {
  return pigeonInstance.preferences();
}

void WebViewConfigurationProxyAPIDelegate::setAllowsInlineMediaPlayback(Api&, Configuration&,
                                                                        bool) {}

void WebViewConfigurationProxyAPIDelegate::setLimitsNavigationsToAppBoundDomains(
    Api&, Configuration& pigeonInstance, bool limit) {
  if (!NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0})) {
    throw ProxyAPIRegistrar::createUnsupportedVersionError(
        "WKWebViewConfiguration.limitsNavigationsToAppBoundDomains", "iOS 14.0, macOS 11.0");
  }
  pigeonInstance.setLimitsNavigationsToAppBoundDomains(limit);
}

void WebViewConfigurationProxyAPIDelegate::setMediaTypesRequiringUserActionForPlayback(
    Api&, Configuration& pigeonInstance, AudiovisualMediaType type) {
  // Indexed by the raw value of AudiovisualMediaType.
  static constexpr std::array<WKAudiovisualMediaTypes, 4> kNativeTypes = {
      WKAudiovisualMediaTypeNone, WKAudiovisualMediaTypeAudio, WKAudiovisualMediaTypeVideo,
      WKAudiovisualMediaTypeAll};
  pigeonInstance.setMediaTypesRequiringUserActionForPlayback(
      kNativeTypes[static_cast<size_t>(type)]);
}

std::shared_ptr<WKWebpagePreferences>
WebViewConfigurationProxyAPIDelegate::getDefaultWebpagePreferences(
    Api&, const Configuration& pigeonInstance) {
  return pigeonInstance.defaultWebpagePreferences();
}

}  // namespace wkwebview_host
