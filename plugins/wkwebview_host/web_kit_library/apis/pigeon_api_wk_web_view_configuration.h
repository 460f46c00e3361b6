// The API "WKWebViewConfiguration": web-view configurations. They are announced to the Dart side
// without fields.
#pragma once

#include <memory>
#include <vector>

#include "platform/webkit/wk_web_view_configuration.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebViewConfiguration;

class PigeonApiDelegateWKWebViewConfiguration {
 public:
  using Api = PigeonApiWKWebViewConfiguration;
  using Configuration = WKWebViewConfiguration;

  virtual ~PigeonApiDelegateWKWebViewConfiguration() = default;
  virtual std::shared_ptr<Configuration> pigeonDefaultConstructor(Api& api) = 0;
  virtual void setUserContentController(Api& api, Configuration& pigeonInstance,
                                        std::shared_ptr<WKUserContentController> controller) = 0;
  virtual std::shared_ptr<WKUserContentController> getUserContentController(
      Api& api, const Configuration& pigeonInstance) = 0;
  virtual void setWebsiteDataStore(Api& api, Configuration& pigeonInstance,
                                   std::shared_ptr<WKWebsiteDataStore> dataStore) = 0;
  virtual std::shared_ptr<WKWebsiteDataStore> getWebsiteDataStore(
      Api& api, const Configuration& pigeonInstance) = 0;
  virtual void setPreferences(Api& api, Configuration& pigeonInstance,
                              std::shared_ptr<WKPreferences> preferences) = 0;
  virtual std::shared_ptr<WKPreferences> getPreferences(Api& api,
                                                        const Configuration& pigeonInstance) = 0;
  virtual void setAllowsInlineMediaPlayback(Api& api, Configuration& pigeonInstance,
                                            bool allow) = 0;
  virtual void setLimitsNavigationsToAppBoundDomains(Api& api, Configuration& pigeonInstance,
                                                     bool limit) = 0;
  virtual void setMediaTypesRequiringUserActionForPlayback(Api& api, Configuration& pigeonInstance,
                                                           AudiovisualMediaType type) = 0;
  virtual std::shared_ptr<WKWebpagePreferences> getDefaultWebpagePreferences(
      Api& api, const Configuration& pigeonInstance) = 0;
};

class PigeonApiWKWebViewConfiguration final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebViewConfiguration";

  PigeonApiWKWebViewConfiguration(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                  std::unique_ptr<PigeonApiDelegateWKWebViewConfiguration> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKWebViewConfiguration& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<WKWebViewConfiguration>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setUserContentController(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getUserContentController(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setWebsiteDataStore(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getWebsiteDataStore(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setPreferences(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getPreferences(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setAllowsInlineMediaPlayback(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setLimitsNavigationsToAppBoundDomains(const PigeonArguments& arguments,
                                             const PigeonHostReply& reply);
  void setMediaTypesRequiringUserActionForPlayback(const PigeonArguments& arguments,
                                                   const PigeonHostReply& reply);
  void getDefaultWebpagePreferences(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKWebViewConfiguration> pigeon_delegate_;
};

}  // namespace wkwebview_host
