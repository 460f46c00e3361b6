// The fields of a protection space: host, port, realm (null when it has none) and
// authentication method; and its server trust, in a new wrapper on every call.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_protection_space.h"

namespace wkwebview_host {

class URLProtectionSpaceProxyAPIDelegate final : public PigeonApiDelegateURLProtectionSpace {
 public:
  std::string host(PigeonApiURLProtectionSpace& /*api*/,
                   const NSURLProtectionSpace& pigeonInstance) override {
    return pigeonInstance.host();
  }
  int64_t port(PigeonApiURLProtectionSpace& /*api*/,
               const NSURLProtectionSpace& pigeonInstance) override {
    return pigeonInstance.port();
  }
  std::optional<std::string> realm(
      PigeonApiURLProtectionSpace& /*api*/,
      const NSURLProtectionSpace& pigeonInstance) override {
    return pigeonInstance.realm();
  }
  std::string authenticationMethod(
      PigeonApiURLProtectionSpace& /*api*/,
      const NSURLProtectionSpace& pigeonInstance) override {
    return pigeonInstance.authenticationMethod();
  }
  std::shared_ptr<SecTrustWrapper> getServerTrust(
      PigeonApiURLProtectionSpace& /*api*/,
      const NSURLProtectionSpace& pigeonInstance) override {
    if (!pigeonInstance.serverTrust()) return nullptr;
    return makeObject<SecTrustWrapper>(pigeonInstance.serverTrust());
  }
};

}  // namespace wkwebview_host
