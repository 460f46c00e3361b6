// The API "WKSecurityOrigin": security origins, announced to the Dart side with `host`, `port`,
// `protocol`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/webkit/wk_security_origin.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKSecurityOrigin;

// Reads the announced fields of an object.
class PigeonApiDelegateWKSecurityOrigin {
 public:
  virtual ~PigeonApiDelegateWKSecurityOrigin() = default;
  virtual std::string host(PigeonApiWKSecurityOrigin& api,
                           const WKSecurityOrigin& pigeonInstance) = 0;
  virtual int64_t port(PigeonApiWKSecurityOrigin& api, const WKSecurityOrigin& pigeonInstance) = 0;
  virtual std::string protocol(PigeonApiWKSecurityOrigin& api,
                               const WKSecurityOrigin& pigeonInstance) = 0;
};

class PigeonApiWKSecurityOrigin final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKSecurityOrigin";

  PigeonApiWKSecurityOrigin(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                            std::unique_ptr<PigeonApiDelegateWKSecurityOrigin> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKSecurityOrigin& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<WKSecurityOrigin>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateWKSecurityOrigin> pigeon_delegate_;
};

}  // namespace wkwebview_host
