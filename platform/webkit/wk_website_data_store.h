// Where the web views of a configuration keep cookies and other website data. Data is kept per
// site and type with the time it was last modified; cookies live in the store's cookie store.
// Completion handlers run on the main queue, on a later turn.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/ns_date.h"
#include "platform/webkit/wk_http_cookie_store.h"
#include "platform/webkit/wk_website_data_record.h"

namespace webkit::internal {
struct WebsiteDataStoreAccess;
}  // namespace webkit::internal

class WKWebsiteDataStore : public NSObject {
 public:
  // The store of the process, shared by every configuration that is given no other.
  static std::shared_ptr<WKWebsiteDataStore> defaultDataStore();
  // A store of its own, forgotten when released.
  static std::shared_ptr<WKWebsiteDataStore> nonPersistentDataStore();

  WKWebsiteDataStore() : http_cookie_store_(makeObject<WKHTTPCookieStore>()) {}

  const std::shared_ptr<WKHTTPCookieStore>& httpCookieStore() const { return http_cookie_store_; }

  // One record per site that holds data of any of `dataTypes`, naming those types.
  void fetchDataRecordsOfTypes(
      const std::set<std::string>& dataTypes,
      std::function<void(std::vector<std::shared_ptr<WKWebsiteDataRecord>>)> completionHandler);
  // Removes the data of `dataTypes` modified at or after `date`.
  void removeDataOfTypes(const std::set<std::string>& dataTypes, const NSDate& date,
                         std::function<void()> completionHandler);

  // Data a page keeps for `site` (cookies go through the cookie store instead).
  struct Entry {
    std::string dataType;
    std::string site;
    NSDate modified;
  };

 private:
  friend struct webkit::internal::WebsiteDataStoreAccess;

  void recordData(Entry entry);
  std::vector<Entry> storedData() const;
  std::vector<Entry> allEntries() const;

  std::shared_ptr<WKHTTPCookieStore> http_cookie_store_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};
