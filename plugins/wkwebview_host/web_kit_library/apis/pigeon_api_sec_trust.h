// The API "SecTrust": trust objects, each held by a SecTrustWrapper. They are announced to the Dart
// side without fields.
#pragma once

#include <memory>

#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiSecTrust final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "SecTrust";

  explicit PigeonApiSecTrust(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<SecTrustWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
