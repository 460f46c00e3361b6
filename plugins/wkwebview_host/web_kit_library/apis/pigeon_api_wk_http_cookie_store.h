// The API "WKHTTPCookieStore": cookie stores. They are announced to the Dart side without fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_http_cookie_store.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKHTTPCookieStore final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKHTTPCookieStore";

  explicit PigeonApiWKHTTPCookieStore(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKHTTPCookieStore>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
