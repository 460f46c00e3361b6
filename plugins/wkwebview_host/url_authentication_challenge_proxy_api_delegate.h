// Authentication challenges as the Dart side reads them: their protection space.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_authentication_challenge.h"

namespace wkwebview_host {

class URLAuthenticationChallengeProxyAPIDelegate final
    : public PigeonApiDelegateURLAuthenticationChallenge {
 public:
  std::shared_ptr<NSURLProtectionSpace> getProtectionSpace(
      PigeonApiURLAuthenticationChallenge& /*api*/,
      const NSURLAuthenticationChallenge& pigeonInstance) override {
    return pigeonInstance.protectionSpace();
  }
};

}  // namespace wkwebview_host
