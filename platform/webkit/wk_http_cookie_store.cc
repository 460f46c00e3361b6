#include "platform/webkit/wk_http_cookie_store.h"

#include <algorithm>
#include <cctype>

#include "platform/dispatch/dispatch.h"

namespace {

using foundation::NSHTTPCookie;

// Domains compare without regard to ASCII case, over their whole length (a NUL included).
bool sameDomain(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool sameCookie(const NSHTTPCookie& a, const NSHTTPCookie& b) {
  return a.name() == b.name() && a.path() == b.path() && sameDomain(a.domain(), b.domain());
}

void later(std::function<void()> completionHandler) {
  if (completionHandler) dispatch_async(dispatch_get_main_queue(), std::move(completionHandler));
}

}  // namespace

void WKHTTPCookieStore::setCookie(std::shared_ptr<NSHTTPCookie> cookie,
                                  std::function<void()> completionHandler) {
  if (cookie) {
    NSDate now = NSDate::date();
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const StoredCookie& stored) {
      return sameCookie(*stored.cookie, *cookie) || stored.cookie->isExpiredAt(now);
    });
    // An expired cookie only removes the one it matches, as a server deletes a cookie.
    if (!cookie->isExpiredAt(now)) cookies_.push_back({std::move(cookie), now});
  }
  later(std::move(completionHandler));
}

void WKHTTPCookieStore::getAllCookies(
    std::function<void(std::vector<std::shared_ptr<NSHTTPCookie>>)> completionHandler) {
  std::vector<std::shared_ptr<NSHTTPCookie>> cookies;
  for (auto& stored : storedCookies()) cookies.push_back(std::move(stored.cookie));
  if (!completionHandler) return;
  dispatch_async(dispatch_get_main_queue(), [completionHandler = std::move(completionHandler),
                                             cookies = std::move(cookies)]() mutable {
    completionHandler(std::move(cookies));
  });
}

std::vector<WKHTTPCookieStore::StoredCookie> WKHTTPCookieStore::storedCookies() const {
  NSDate now = NSDate::date();
  std::lock_guard lock(mutex_);
  std::vector<StoredCookie> live;
  for (const auto& stored : cookies_) {
    if (!stored.cookie->isExpiredAt(now)) live.push_back(stored);
  }
  return live;
}

void WKHTTPCookieStore::removeCookiesModifiedSince(const NSDate& date) {
  std::lock_guard lock(mutex_);
  std::erase_if(cookies_, [&](const StoredCookie& stored) { return stored.modified >= date; });
}
