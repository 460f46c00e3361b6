// The API "HTTPCookie": cookies. They are announced to the Dart side without fields.
#pragma once

#include <memory>

#include "platform/webkit/ns_http_cookie.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiHTTPCookie final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "HTTPCookie";

  explicit PigeonApiHTTPCookie(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<foundation::NSHTTPCookie>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
