// Configurations of the Dart side: their parts, their media and navigation settings, with the
// app-bound-domains limit needing macOS 11.0.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view_configuration.h"

namespace wkwebview_host {

class WebViewConfigurationProxyAPIDelegate final : public PigeonApiDelegateWKWebViewConfiguration {
 public:
  std::shared_ptr<Configuration> pigeonDefaultConstructor(Api& api) override;
  void setUserContentController(Api& api, Configuration& pigeonInstance,
                                std::shared_ptr<WKUserContentController> controller) override;
  std::shared_ptr<WKUserContentController> getUserContentController(
      Api& api, const Configuration& pigeonInstance) override;
  void setWebsiteDataStore(Api& api, Configuration& pigeonInstance,
                           std::shared_ptr<WKWebsiteDataStore> dataStore) override;
  std::shared_ptr<WKWebsiteDataStore> getWebsiteDataStore(
      Api& api, const Configuration& pigeonInstance) override;
  void setPreferences(Api& api, Configuration& pigeonInstance,
                      std::shared_ptr<WKPreferences> preferences) override;
  std::shared_ptr<WKPreferences> getPreferences(Api& api,
                                                const Configuration& pigeonInstance) override;
  // Accepted and ignored: inline playback is not a setting on this platform.
  void setAllowsInlineMediaPlayback(Api& api, Configuration& pigeonInstance, bool allow) override;
  void setLimitsNavigationsToAppBoundDomains(Api& api, Configuration& pigeonInstance,
                                             bool limit) override;
  void setMediaTypesRequiringUserActionForPlayback(Api& api, Configuration& pigeonInstance,
                                                   AudiovisualMediaType type) override;
  std::shared_ptr<WKWebpagePreferences> getDefaultWebpagePreferences(
      Api& api, const Configuration& pigeonInstance) override;
};

}  // namespace wkwebview_host
