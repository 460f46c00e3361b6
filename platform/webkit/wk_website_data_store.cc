#include "platform/webkit/wk_website_data_store.h"

#include <map>

#include "platform/dispatch/dispatch.h"

std::shared_ptr<WKWebsiteDataStore> WKWebsiteDataStore::defaultDataStore() {
  static const auto store = makeObject<WKWebsiteDataStore>();
  return store;
}

std::shared_ptr<WKWebsiteDataStore> WKWebsiteDataStore::nonPersistentDataStore() {
  return makeObject<WKWebsiteDataStore>();
}

void WKWebsiteDataStore::recordData(Entry entry) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [&](const Entry& stored) {
    return stored.dataType == entry.dataType && stored.site == entry.site;
  });
  entries_.push_back(std::move(entry));
}

std::vector<WKWebsiteDataStore::Entry> WKWebsiteDataStore::storedData() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

// The cookies count as data of their domain, without a leading dot.
std::vector<WKWebsiteDataStore::Entry> WKWebsiteDataStore::allEntries() const {
  std::vector<Entry> entries = storedData();
  for (const auto& stored : http_cookie_store_->storedCookies()) {
    std::string site = stored.cookie->domain();
    if (!site.empty() && site.front() == '.') site.erase(0, 1);
    entries.push_back({WKWebsiteDataTypeCookies, std::move(site), stored.modified});
  }
  return entries;
}

void WKWebsiteDataStore::fetchDataRecordsOfTypes(
    const std::set<std::string>& dataTypes,
    std::function<void(std::vector<std::shared_ptr<WKWebsiteDataRecord>>)> completionHandler) {
  std::map<std::string, std::set<std::string>> types_by_site;
  for (const auto& entry : allEntries()) {
    if (dataTypes.contains(entry.dataType)) types_by_site[entry.site].insert(entry.dataType);
  }
  std::vector<std::shared_ptr<WKWebsiteDataRecord>> records;
  for (auto& [site, types] : types_by_site) {
    records.push_back(makeObject<WKWebsiteDataRecord>(site, std::move(types)));
  }
  if (!completionHandler) return;
  dispatch_async(dispatch_get_main_queue(), [completionHandler = std::move(completionHandler),
                                             records = std::move(records)]() mutable {
    completionHandler(std::move(records));
  });
}

void WKWebsiteDataStore::removeDataOfTypes(const std::set<std::string>& dataTypes,
                                           const NSDate& date,
                                           std::function<void()> completionHandler) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& entry) {
      return dataTypes.contains(entry.dataType) && entry.modified >= date;
    });
  }
  if (dataTypes.contains(WKWebsiteDataTypeCookies)) {
    http_cookie_store_->removeCookiesModifiedSince(date);
  }
  if (completionHandler) dispatch_async(dispatch_get_main_queue(), std::move(completionHandler));
}
