// Cookies of the Dart side: built from properties keyed by HttpCookiePropertyKey, and read back
// the same way (native keys outside the table become one `unknown` entry).
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_cookie.h"

namespace wkwebview_host {

class HTTPCookieProxyAPIDelegate final : public PigeonApiDelegateHTTPCookie {
 public:
  // `unknown` among the keys is the "UnknownEnumError"; properties the platform refuses are the
  // "ConstructorReturnedNullError" for `NSHTTPCookie`.
  std::shared_ptr<NSHTTPCookie> pigeonDefaultConstructor(
      PigeonApiHTTPCookie& api, const Properties& properties) override;
  std::optional<Properties> getProperties(PigeonApiHTTPCookie& api,
                                          const NSHTTPCookie& pigeonInstance) override;
};

}  // namespace wkwebview_host
