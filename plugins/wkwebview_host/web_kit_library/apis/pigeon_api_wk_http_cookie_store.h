// The API "WKHTTPCookieStore": the cookie stores of website data stores. They are announced to
// the Dart side without fields.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/webkit/wk_http_cookie_store.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKHTTPCookieStore;

class PigeonApiDelegateWKHTTPCookieStore {
 public:
  using Cookies = std::vector<std::shared_ptr<NSHTTPCookie>>;

  virtual ~PigeonApiDelegateWKHTTPCookieStore() = default;
  virtual void setCookie(PigeonApiWKHTTPCookieStore& api, WKHTTPCookieStore& pigeonInstance,
                         std::shared_ptr<NSHTTPCookie> cookie,
                         std::function<void()> completion) = 0;
  virtual void getAllCookies(PigeonApiWKHTTPCookieStore& api, WKHTTPCookieStore& pigeonInstance,
                             std::function<void(Cookies)> completion) = 0;
};

class PigeonApiWKHTTPCookieStore final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKHTTPCookieStore";

  PigeonApiWKHTTPCookieStore(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                             std::unique_ptr<PigeonApiDelegateWKHTTPCookieStore> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKHTTPCookieStore& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<WKHTTPCookieStore>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void setCookie(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getAllCookies(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKHTTPCookieStore> pigeon_delegate_;
};

}  // namespace wkwebview_host
