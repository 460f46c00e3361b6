// Trust objects as the Dart side works with them: evaluation off the main thread, exceptions,
// the result with its status, and the certificate chain (read whole from macOS 12.0, certificate
// by certificate below).
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_trust.h"

namespace wkwebview_host {

class SecTrustProxyAPIDelegate final : public PigeonApiDelegateSecTrust {
 public:
  // A failed evaluation is the error [domain, description, null].
  void evaluateWithError(PigeonApiSecTrust& api, const std::shared_ptr<SecTrustWrapper>& trust,
                         std::function<void(Evaluation)> completion) override;
  std::optional<Bytes> copyExceptions(PigeonApiSecTrust& api,
                                      const SecTrustWrapper& trust) override;
  bool setExceptions(PigeonApiSecTrust& api, const SecTrustWrapper& trust,
                     const std::optional<Bytes>& exceptions) override;
  std::shared_ptr<GetTrustResultResponse> getTrustResult(PigeonApiSecTrust& api,
                                                         const SecTrustWrapper& trust) override;
  std::optional<std::vector<std::shared_ptr<SecCertificateWrapper>>> copyCertificateChain(
      PigeonApiSecTrust& api, const SecTrustWrapper& trust) override;
};

}  // namespace wkwebview_host
