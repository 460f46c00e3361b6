// The cookies of one cookie store, bounded as browsers bound theirs: a cookie whose name and
// value take more than kMaxNameAndValueBytes, or any other property more than
// kMaxPropertyBytes (kMaxOtherPropertiesBytes together), is not kept; a domain keeps its
// kMaxCookiesPerDomain latest cookies and the jar its kMaxCookies latest. Setting a cookie costs
// the same however many are kept. Not thread-safe: its store guards it.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/ns_date.h"
#include "platform/webkit/ns_http_cookie.h"
#include "platform/webkit/wk_http_cookie_store.h"

namespace webkit {

class CookieJar {
 public:
  static constexpr size_t kMaxNameAndValueBytes = 4096;
  static constexpr size_t kMaxPropertyBytes = 1024;
  static constexpr size_t kMaxOtherPropertiesBytes = 8192;
  static constexpr size_t kMaxCookiesPerDomain = 180;
  static constexpr size_t kMaxCookies = 3000;

  using Stored = WKHTTPCookieStore::StoredCookie;

  // Whether browsers would keep a cookie this large.
  static bool fits(const NSHTTPCookie& cookie);

  // Replaces the cookie of the same name, domain and path; an expired cookie only removes it.
  // Answers false, changing nothing, for a cookie that does not fit.
  bool set(std::shared_ptr<NSHTTPCookie> cookie, const NSDate& now);
  // The cookies not expired by `now`, oldest set first.
  std::vector<Stored> live(const NSDate& now) const;
  // Removes the cookies set at or after `date`.
  void removeModifiedSince(const NSDate& date);
  size_t size() const { return order_.size(); }

 private:
  struct Entry;
  using Order = std::list<Entry>;
  struct Entry {
    Stored stored;
    std::string key;
    std::string domain;
    std::list<Order::iterator>::iterator inDomain;
    std::optional<std::multimap<NSDate, Order::iterator>::iterator> inExpiry;
  };

  void erase(Order::iterator entry);

  Order order_;  // oldest set first
  std::unordered_map<std::string, Order::iterator> by_key_;
  std::unordered_map<std::string, std::list<Order::iterator>> by_domain_;
  std::multimap<NSDate, Order::iterator> by_expiry_;
};

}  // namespace webkit
