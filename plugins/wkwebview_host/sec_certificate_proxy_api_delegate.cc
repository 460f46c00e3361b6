#include "plugins/wkwebview_host/sec_certificate_proxy_api_delegate.h"

#include "platform/security/sec_certificate.h"

namespace wkwebview_host {

std::vector<uint8_t> SecCertificateProxyAPIDelegate::copyData(
    PigeonApiSecCertificate&, const SecCertificateWrapper& certificate) {
  return SecCertificateCopyData(certificate.value());
}

}  // namespace wkwebview_host
