#include "plugins/wkwebview_host/authentication_challenge_response_proxy_api_delegate.h"

namespace wkwebview_host {

UrlSessionAuthChallengeDisposition AuthenticationChallengeResponseProxyAPIDelegate::disposition(
    PigeonApiAuthenticationChallengeResponse&,
    const AuthenticationChallengeResponse& pigeonInstance) {
  switch (pigeonInstance.disposition()) {
    case foundation::NSURLSessionAuthChallengeUseCredential:
      return UrlSessionAuthChallengeDisposition::useCredential;
    case foundation::NSURLSessionAuthChallengePerformDefaultHandling:
      return UrlSessionAuthChallengeDisposition::performDefaultHandling;
    case foundation::NSURLSessionAuthChallengeCancelAuthenticationChallenge:
      return UrlSessionAuthChallengeDisposition::cancelAuthenticationChallenge;
    case foundation::NSURLSessionAuthChallengeRejectProtectionSpace:
      return UrlSessionAuthChallengeDisposition::rejectProtectionSpace;
  }
  return UrlSessionAuthChallengeDisposition::unknown;
}

std::shared_ptr<foundation::NSURLCredential>
AuthenticationChallengeResponseProxyAPIDelegate::credential(
    PigeonApiAuthenticationChallengeResponse&,
    const AuthenticationChallengeResponse& pigeonInstance) {
  return pigeonInstance.credential();
}

}  // namespace wkwebview_host
