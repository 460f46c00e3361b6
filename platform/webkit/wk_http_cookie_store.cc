#include "platform/webkit/wk_http_cookie_store.h"

#include <strings.h>

#include <algorithm>

#include "platform/dispatch/dispatch.h"

namespace {

using foundation::NSHTTPCookie;

bool sameCookie(const NSHTTPCookie& a, const NSHTTPCookie& b) {
  return a.name() == b.name() && a.path() == b.path() &&
         strcasecmp(a.domain().c_str(), b.domain().c_str()) == 0;
}

void later(std::function<void()> completionHandler) {
  if (completionHandler) dispatch_async(dispatch_get_main_queue(), std::move(completionHandler));
}

}  // namespace

void WKHTTPCookieStore::setCookie(std::shared_ptr<NSHTTPCookie> cookie,
                                  std::function<void()> completionHandler) {
  if (cookie) {
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_,
                  [&](const StoredCookie& stored) { return sameCookie(*stored.cookie, *cookie); });
    cookies_.push_back({std::move(cookie), NSDate::date()});
  }
  later(std::move(completionHandler));
}

void WKHTTPCookieStore::deleteCookie(const std::shared_ptr<NSHTTPCookie>& cookie,
                                     std::function<void()> completionHandler) {
  if (cookie) {
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_,
                  [&](const StoredCookie& stored) { return sameCookie(*stored.cookie, *cookie); });
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
  std::lock_guard lock(mutex_);
  return cookies_;
}

void WKHTTPCookieStore::removeCookiesModifiedSince(const NSDate& date) {
  std::lock_guard lock(mutex_);
  std::erase_if(cookies_, [&](const StoredCookie& stored) { return stored.modified >= date; });
}
