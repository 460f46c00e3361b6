#include "platform/webkit/internal/cookie_jar.h"

#include <variant>

#include "platform/foundation/ns_url.h"

namespace webkit {
namespace {

std::string asciiLowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The domain a cookie counts against: without regard to ASCII case or a leading dot.
std::string domainKey(const NSHTTPCookie& cookie) {
  std::string domain = asciiLowered(cookie.domain());
  if (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
  return domain;
}

// Name, domain (without regard to case) and path, each with its length so that no two differ
// only in where one ends.
std::string identityKey(const NSHTTPCookie& cookie) {
  std::string key;
  for (const std::string& part : {cookie.name(), asciiLowered(cookie.domain()), cookie.path()}) {
    key += std::to_string(part.size());
    key += ':';
    key += part;
  }
  return key;
}

// The bytes a property takes as text, counted no further than `limit` + 1.
size_t propertyBytes(const AnyValue& value, size_t limit, int depth = 0) {
  if (depth > 8) return limit + 1;
  return std::visit(
      [&](const auto& v) -> size_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, AnyValue::Bytes>) {
          return v.size();
        } else if constexpr (std::is_same_v<T, AnyValue::Array>) {
          size_t total = 0;
          for (const auto& element : v) {
            total += propertyBytes(element, limit, depth + 1);
            if (total > limit) break;
          }
          return total;
        } else if constexpr (std::is_same_v<T, AnyValue::Dictionary>) {
          size_t total = 0;
          for (const auto& [key, element] : v) {
            total += key.size() + propertyBytes(element, limit, depth + 1);
            if (total > limit) break;
          }
          return total;
        } else if constexpr (std::is_same_v<T, std::shared_ptr<NSObject>>) {
          const auto* url = dynamic_cast<const NSURL*>(v.get());
          return url != nullptr ? url->absoluteString().size() : 0;
        } else {
          return 8;  // a number, a boolean, null
        }
      },
      value.storage());
}

}  // namespace

bool CookieJar::fits(const NSHTTPCookie& cookie) {
  size_t other = 0;
  for (const auto& [key, value] : cookie.properties()) {
    if (key == NSHTTPCookieName || key == NSHTTPCookieValue) continue;
    size_t bytes = propertyBytes(value, kMaxPropertyBytes);
    if (bytes > kMaxPropertyBytes) return false;
    other += key.size() + bytes;
    if (other > kMaxOtherPropertiesBytes) return false;
  }
  return cookie.name().size() + cookie.value().size() <= kMaxNameAndValueBytes;
}

bool CookieJar::set(std::shared_ptr<NSHTTPCookie> cookie, const NSDate& now) {
  if (!fits(*cookie)) return false;
  while (!by_expiry_.empty() && by_expiry_.begin()->first <= now) erase(by_expiry_.begin()->second);
  std::string key = identityKey(*cookie);
  if (auto same = by_key_.find(key); same != by_key_.end()) erase(same->second);
  // An expired cookie only removes the one it matches, as a server deletes a cookie.
  if (cookie->isExpiredAt(now)) return true;

  std::string domain = domainKey(*cookie);
  auto& in_domain = by_domain_[domain];
  if (in_domain.size() >= kMaxCookiesPerDomain) erase(in_domain.front());
  if (order_.size() >= kMaxCookies) erase(order_.begin());

  auto expires = cookie->expiresDate();
  auto entry = order_.insert(order_.end(), Entry{{std::move(cookie), now}, key, domain, {}, {}});
  auto& domain_list = by_domain_[domain];
  entry->inDomain = domain_list.insert(domain_list.end(), entry);
  if (expires) entry->inExpiry = by_expiry_.emplace(*expires, entry);
  by_key_.emplace(std::move(key), entry);
  return true;
}

std::vector<CookieJar::Stored> CookieJar::live(const NSDate& now) const {
  std::vector<Stored> cookies;
  for (const auto& entry : order_) {
    if (!entry.stored.cookie->isExpiredAt(now)) cookies.push_back(entry.stored);
  }
  return cookies;
}

void CookieJar::removeModifiedSince(const NSDate& date) {
  for (auto entry = order_.begin(); entry != order_.end();) {
    auto next = std::next(entry);
    if (entry->stored.modified >= date) erase(entry);
    entry = next;
  }
}

void CookieJar::erase(Order::iterator entry) {
  by_key_.erase(entry->key);
  auto domain = by_domain_.find(entry->domain);
  domain->second.erase(entry->inDomain);
  if (domain->second.empty()) by_domain_.erase(domain);
  if (entry->inExpiry) by_expiry_.erase(*entry->inExpiry);
  order_.erase(entry);
}

}  // namespace webkit
