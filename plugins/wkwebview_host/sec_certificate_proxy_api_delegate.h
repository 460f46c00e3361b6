// Certificates as the Dart side reads them: their DER bytes.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_certificate.h"

namespace wkwebview_host {

class SecCertificateProxyAPIDelegate final : public PigeonApiDelegateSecCertificate {
 public:
  std::vector<uint8_t> copyData(PigeonApiSecCertificate& api,
                                const SecCertificateWrapper& certificate) override;
};

}  // namespace wkwebview_host
