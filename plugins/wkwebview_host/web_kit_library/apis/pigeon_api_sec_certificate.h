// The API "SecCertificate": certificates, each held by a SecCertificateWrapper. They are announced
// to the Dart side without fields.
#pragma once

#include <memory>

#include "plugins/wkwebview_host/sec_certificate_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiSecCertificate final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "SecCertificate";

  explicit PigeonApiSecCertificate(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<SecCertificateWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
