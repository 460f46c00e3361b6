#include "plugins/wkwebview_host/authentication_challenge_response_proxy_api_delegate.h"

#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {
namespace {

std::shared_ptr<AuthenticationChallengeResponse> makeResponse(
    UrlSessionAuthChallengeDisposition disposition,
    std::shared_ptr<NSURLCredential> credential) {
  // The Dart side's raw values are the platform's, except `unknown`.
  if (disposition == UrlSessionAuthChallengeDisposition::unknown) {
    throw ProxyAPIRegistrar::createUnknownEnumError(disposition);
  }
  return makeObject<AuthenticationChallengeResponse>(
      static_cast<NSURLSessionAuthChallengeDisposition>(disposition),
      std::move(credential));
}

}  // namespace

std::shared_ptr<AuthenticationChallengeResponse>
AuthenticationChallengeResponseProxyAPIDelegate::pigeonDefaultConstructor(
    PigeonApiAuthenticationChallengeResponse&, UrlSessionAuthChallengeDisposition disposition,
    std::shared_ptr<NSURLCredential> credential) {
  return makeResponse(disposition, std::move(credential));
}

std::shared_ptr<AuthenticationChallengeResponse>
AuthenticationChallengeResponseProxyAPIDelegate::createAsync(
    PigeonApiAuthenticationChallengeResponse&, UrlSessionAuthChallengeDisposition disposition,
    std::shared_ptr<NSURLCredential> credential) {
  return makeResponse(disposition, std::move(credential));
}

UrlSessionAuthChallengeDisposition AuthenticationChallengeResponseProxyAPIDelegate::disposition(
    PigeonApiAuthenticationChallengeResponse&,
    const AuthenticationChallengeResponse& pigeonInstance) {
  switch (pigeonInstance.disposition()) {
    case NSURLSessionAuthChallengeUseCredential:
      return UrlSessionAuthChallengeDisposition::useCredential;
    case NSURLSessionAuthChallengePerformDefaultHandling:
      return UrlSessionAuthChallengeDisposition::performDefaultHandling;
    case NSURLSessionAuthChallengeCancelAuthenticationChallenge:
      return UrlSessionAuthChallengeDisposition::cancelAuthenticationChallenge;
    case NSURLSessionAuthChallengeRejectProtectionSpace:
      return UrlSessionAuthChallengeDisposition::rejectProtectionSpace;
  }
  return UrlSessionAuthChallengeDisposition::unknown;
}

std::shared_ptr<NSURLCredential>
AuthenticationChallengeResponseProxyAPIDelegate::credential(
    PigeonApiAuthenticationChallengeResponse&,
    const AuthenticationChallengeResponse& pigeonInstance) {
  return pigeonInstance.credential();
}

}  // namespace wkwebview_host
