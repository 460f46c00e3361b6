// Where the web views of a configuration keep cookies and other website data.
#pragma once

#include <memory>

#include "platform/webkit/wk_http_cookie_store.h"

class WKWebsiteDataStore : public foundation::NSObject {
 public:
  WKWebsiteDataStore() : http_cookie_store_(foundation::makeObject<WKHTTPCookieStore>()) {}

  const std::shared_ptr<WKHTTPCookieStore>& httpCookieStore() const { return http_cookie_store_; }

 private:
  std::shared_ptr<WKHTTPCookieStore> http_cookie_store_;
};
