// Cookie stores of the Dart side: setting a cookie and reading them all, each answered from the
// store's completion handler.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_http_cookie_store.h"

namespace wkwebview_host {

class HTTPCookieStoreProxyAPIDelegate final : public PigeonApiDelegateWKHTTPCookieStore {
 public:
  void setCookie(PigeonApiWKHTTPCookieStore& /*api*/, WKHTTPCookieStore& pigeonInstance,
                 std::shared_ptr<NSHTTPCookie> cookie,
                 std::function<void()> completion) override {
    pigeonInstance.setCookie(std::move(cookie), std::move(completion));
  }
  void getAllCookies(PigeonApiWKHTTPCookieStore& /*api*/, WKHTTPCookieStore& pigeonInstance,
                     std::function<void(Cookies)> completion) override {
    pigeonInstance.getAllCookies(std::move(completion));
  }
};

}  // namespace wkwebview_host
