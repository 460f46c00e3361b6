// Credentials of the Dart side: a user and password with a persistence of the same raw value, or
// the acceptance of a server's trust.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_credential.h"

namespace wkwebview_host {

class URLCredentialProxyAPIDelegate final : public PigeonApiDelegateURLCredential {
 public:
  std::shared_ptr<Credential> withUser(PigeonApiURLCredential& /*api*/, const std::string& user,
                                       const std::string& password,
                                       UrlCredentialPersistence persistence) override {
    return makeObject<Credential>(
        user, password, static_cast<NSURLCredentialPersistence>(persistence));
  }
  std::shared_ptr<Credential> withUserAsync(PigeonApiURLCredential& api, const std::string& user,
                                            const std::string& password,
                                            UrlCredentialPersistence persistence) override {
    return withUser(api, user, password, persistence);
  }
  std::shared_ptr<Credential> serverTrustAsync(PigeonApiURLCredential& /*api*/,
                                               const SecTrustWrapper& trust) override {
    return makeObject<Credential>(trust.value());
  }
};

}  // namespace wkwebview_host
