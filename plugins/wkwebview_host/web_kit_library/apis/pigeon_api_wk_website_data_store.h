// The API "WKWebsiteDataStore": website data stores. They are announced to the Dart side without
// fields.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/webkit/wk_website_data_store.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebsiteDataStore;

class PigeonApiDelegateWKWebsiteDataStore {
 public:
  virtual ~PigeonApiDelegateWKWebsiteDataStore() = default;
  virtual std::shared_ptr<WKWebsiteDataStore> defaultDataStore(
      PigeonApiWKWebsiteDataStore& api) = 0;
  virtual std::shared_ptr<WKHTTPCookieStore> httpCookieStore(
      PigeonApiWKWebsiteDataStore& api, const WKWebsiteDataStore& pigeonInstance) = 0;
  // `completion` receives whether data of the types existed before the removal.
  virtual void removeDataOfTypes(PigeonApiWKWebsiteDataStore& api,
                                 const std::shared_ptr<WKWebsiteDataStore>& pigeonInstance,
                                 const std::vector<WebsiteDataType>& dataTypes,
                                 double modificationTimeInSecondsSinceEpoch,
                                 std::function<void(bool)> completion) = 0;
};

class PigeonApiWKWebsiteDataStore final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebsiteDataStore";

  PigeonApiWKWebsiteDataStore(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                              std::unique_ptr<PigeonApiDelegateWKWebsiteDataStore> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKWebsiteDataStore& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<WKWebsiteDataStore>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void defaultDataStore(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void httpCookieStore(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void removeDataOfTypes(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKWebsiteDataStore> pigeon_delegate_;
};

}  // namespace wkwebview_host
