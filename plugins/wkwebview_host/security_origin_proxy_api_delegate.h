// The fields of a security origin: host, port and protocol.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_security_origin.h"

namespace wkwebview_host {

class SecurityOriginProxyAPIDelegate final : public PigeonApiDelegateWKSecurityOrigin {
 public:
  std::string host(PigeonApiWKSecurityOrigin& /*api*/,
                   const WKSecurityOrigin& pigeonInstance) override {
    return pigeonInstance.host();
  }
  int64_t port(PigeonApiWKSecurityOrigin& /*api*/, const WKSecurityOrigin& pigeonInstance) override {
    return pigeonInstance.port();
  }
  std::string protocol(PigeonApiWKSecurityOrigin& /*api*/,
                       const WKSecurityOrigin& pigeonInstance) override {
    return pigeonInstance.protocol();
  }
};

}  // namespace wkwebview_host
