#include "plugins/wkwebview_host/website_data_store_proxy_api_delegate.h"

#include <array>
#include <set>

namespace wkwebview_host {
namespace {

// Indexed by the raw value of WebsiteDataType.
const std::array<const std::string*, 8> kNativeDataTypes = {
    &WKWebsiteDataTypeCookies,         &WKWebsiteDataTypeMemoryCache,
    &WKWebsiteDataTypeDiskCache,       &WKWebsiteDataTypeOfflineWebApplicationCache,
    &WKWebsiteDataTypeLocalStorage,    &WKWebsiteDataTypeSessionStorage,
    &WKWebsiteDataTypeWebSQLDatabases, &WKWebsiteDataTypeIndexedDBDatabases,
};

}  // namespace

std::shared_ptr<WKWebsiteDataStore> WebsiteDataStoreProxyAPIDelegate::defaultDataStore(
    PigeonApiWKWebsiteDataStore&) {
  return WKWebsiteDataStore::defaultDataStore();
}

std::shared_ptr<WKHTTPCookieStore> WebsiteDataStoreProxyAPIDelegate::httpCookieStore(
    PigeonApiWKWebsiteDataStore&, const WKWebsiteDataStore& pigeonInstance) {
  return pigeonInstance.httpCookieStore();
}

void WebsiteDataStoreProxyAPIDelegate::removeDataOfTypes(
    PigeonApiWKWebsiteDataStore&, const std::shared_ptr<WKWebsiteDataStore>& pigeonInstance,
    const std::vector<WebsiteDataType>& dataTypes, double modificationTimeInSecondsSinceEpoch,
    std::function<void(bool)> completion) {
  std::set<std::string> types;
  for (WebsiteDataType type : dataTypes) {
    types.insert(*kNativeDataTypes[static_cast<size_t>(type)]);
  }
  NSDate since = NSDate::dateWithTimeIntervalSince1970(modificationTimeInSecondsSinceEpoch);
  pigeonInstance->fetchDataRecordsOfTypes(
      types, [store = pigeonInstance, types, since, completion = std::move(completion)](
                 const std::vector<std::shared_ptr<WKWebsiteDataRecord>>& records) {
        if (records.empty()) {
          completion(false);
          return;
        }
        store->removeDataOfTypes(types, since, [completion] { completion(true); });
      });
}

}  // namespace wkwebview_host
