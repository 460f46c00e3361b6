// Website data stores of the Dart side: the default store, its cookie store, and removal of data
// by type and modification date.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_website_data_store.h"

namespace wkwebview_host {

class WebsiteDataStoreProxyAPIDelegate final : public PigeonApiDelegateWKWebsiteDataStore {
 public:
  std::shared_ptr<WKWebsiteDataStore> defaultDataStore(PigeonApiWKWebsiteDataStore& api) override;
  std::shared_ptr<WKHTTPCookieStore> httpCookieStore(
      PigeonApiWKWebsiteDataStore& api, const WKWebsiteDataStore& pigeonInstance) override;
  // Fetches the records of the types first: with none, answers false and removes nothing.
  void removeDataOfTypes(PigeonApiWKWebsiteDataStore& api,
                         const std::shared_ptr<WKWebsiteDataStore>& pigeonInstance,
                         const std::vector<WebsiteDataType>& dataTypes,
                         double modificationTimeInSecondsSinceEpoch,
                         std::function<void(bool)> completion) override;
};

}  // namespace wkwebview_host
