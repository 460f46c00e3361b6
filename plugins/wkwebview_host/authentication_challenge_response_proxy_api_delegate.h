// Responses to authentication challenges (`unknown` as disposition is the "UnknownEnumError"),
// and their fields: the disposition (a stored value outside the platform's four is `unknown`)
// and the credential.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"

namespace wkwebview_host {

class AuthenticationChallengeResponseProxyAPIDelegate final
    : public PigeonApiDelegateAuthenticationChallengeResponse {
 public:
  std::shared_ptr<AuthenticationChallengeResponse> pigeonDefaultConstructor(
      PigeonApiAuthenticationChallengeResponse& api, UrlSessionAuthChallengeDisposition disposition,
      std::shared_ptr<NSURLCredential> credential) override;
  std::shared_ptr<AuthenticationChallengeResponse> createAsync(
      PigeonApiAuthenticationChallengeResponse& api, UrlSessionAuthChallengeDisposition disposition,
      std::shared_ptr<NSURLCredential> credential) override;
  UrlSessionAuthChallengeDisposition disposition(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) override;
  std::shared_ptr<NSURLCredential> credential(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) override;
};

}  // namespace wkwebview_host
