#include "platform/webkit/testing/website_data_controls.h"

namespace webkit {
namespace internal {

struct WebsiteDataStoreAccess {
  static void record(WKWebsiteDataStore& store, WKWebsiteDataStore::Entry entry) {
    store.recordData(std::move(entry));
  }
  static std::vector<WKWebsiteDataStore::Entry> stored(const WKWebsiteDataStore& store) {
    return store.storedData();
  }
};

}  // namespace internal

namespace testing {

void addWebsiteData(WKWebsiteDataStore& store, const std::string& dataType, const std::string& site,
                    const NSDate& modified) {
  internal::WebsiteDataStoreAccess::record(store, {dataType, site, modified});
}

std::vector<WKWebsiteDataStore::Entry> websiteData(const WKWebsiteDataStore& store) {
  return internal::WebsiteDataStoreAccess::stored(store);
}

}  // namespace testing
}  // namespace webkit
