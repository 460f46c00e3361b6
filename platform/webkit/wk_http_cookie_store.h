// The cookies of a website data store. A cookie replaces one with the same name, domain and
// path; an expired one removes it and is not kept. Expired cookies are never answered. The store
// keeps what browsers keep (see webkit::CookieJar): a larger cookie is not kept, and the
// oldest go past the counts. Completion handlers run on the main queue, on a later turn.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/ns_date.h"
#include "platform/webkit/ns_http_cookie.h"
#include "platform/foundation/ns_object.h"

namespace webkit {
class CookieJar;
}

class WKHTTPCookieStore : public NSObject {
 public:
  WKHTTPCookieStore();
  ~WKHTTPCookieStore() override;

  void setCookie(std::shared_ptr<NSHTTPCookie> cookie,
                 std::function<void()> completionHandler);
  void getAllCookies(std::function<void(std::vector<std::shared_ptr<NSHTTPCookie>>)>
                         completionHandler);

  // What the data store sees of the cookies: each with the time it was set.
  struct StoredCookie {
    std::shared_ptr<NSHTTPCookie> cookie;
    NSDate modified;
  };
  std::vector<StoredCookie> storedCookies() const;
  // Removes the cookies set at or after `date`.
  void removeCookiesModifiedSince(const NSDate& date);

 private:
  mutable std::mutex mutex_;
  const std::unique_ptr<webkit::CookieJar> cookies_;
};
