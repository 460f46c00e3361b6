#include "platform/webkit/wk_http_cookie_store.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/webkit/internal/cookie_jar.h"

namespace {

void later(std::function<void()> completionHandler) {
  if (completionHandler) dispatch_async(dispatch_get_main_queue(), std::move(completionHandler));
}

}  // namespace

WKHTTPCookieStore::WKHTTPCookieStore() : cookies_(std::make_unique<webkit::CookieJar>()) {}

WKHTTPCookieStore::~WKHTTPCookieStore() = default;

void WKHTTPCookieStore::setCookie(std::shared_ptr<NSHTTPCookie> cookie,
                                  std::function<void()> completionHandler) {
  if (cookie) {
    bool kept;
    {
      std::lock_guard lock(mutex_);
      kept = cookies_->set(std::move(cookie), NSDate::date());
    }
    if (!kept) NSLog("WKHTTPCookieStore: a cookie larger than browsers keep was not stored");
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
  return cookies_->live(now);
}

void WKHTTPCookieStore::removeCookiesModifiedSince(const NSDate& date) {
  std::lock_guard lock(mutex_);
  cookies_->removeModifiedSince(date);
}
