#include "plugins/wkwebview_host/sec_trust_proxy_api_delegate.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/security/sec_trust.h"

namespace wkwebview_host {

void SecTrustProxyAPIDelegate::evaluateWithError(PigeonApiSecTrust&,
                                                 const std::shared_ptr<SecTrustWrapper>& trust,
                                                 std::function<void(Evaluation)> completion) {
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0),
                 [trust, completion = std::move(completion)]() mutable {
                   CFErrorRef error;
                   bool trusted = SecTrustEvaluateWithError(trust->value(), &error);
                   dispatch_async(dispatch_get_main_queue(), [trusted, error = std::move(error),
                                                              completion = std::move(completion)] {
                     if (error) {
                       completion(PigeonError(CFErrorGetDomain(error),
                                              CFErrorCopyDescription(error), flutter::Value()));
                     } else {
                       completion(trusted);
                     }
                   });
                 });
}

std::optional<PigeonApiDelegateSecTrust::Bytes> SecTrustProxyAPIDelegate::copyExceptions(
    PigeonApiSecTrust&, const SecTrustWrapper& trust) {
  return SecTrustCopyExceptions(trust.value());
}

bool SecTrustProxyAPIDelegate::setExceptions(PigeonApiSecTrust&, const SecTrustWrapper& trust,
                                             const std::optional<Bytes>& exceptions) {
  return SecTrustSetExceptions(trust.value(), exceptions);
}

// A failing status is no error: it travels in the response.
std::shared_ptr<GetTrustResultResponse> SecTrustProxyAPIDelegate::getTrustResult(
    PigeonApiSecTrust&, const SecTrustWrapper& trust) {
  auto result = kSecTrustResultInvalid;
  OSStatus status = SecTrustGetTrustResult(trust.value(), &result);
  return makeObject<GetTrustResultResponse>(static_cast<uint32_t>(result), status);
}

std::optional<std::vector<std::shared_ptr<SecCertificateWrapper>>>
SecTrustProxyAPIDelegate::copyCertificateChain(PigeonApiSecTrust&, const SecTrustWrapper& trust) {
  std::vector<std::shared_ptr<SecCertificateWrapper>> wrappers;
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({12, 0, 0})) {
    auto chain = SecTrustCopyCertificateChain(trust.value());
    if (!chain) return std::nullopt;
    for (auto& certificate : *chain) {
      wrappers.push_back(makeObject<SecCertificateWrapper>(std::move(certificate)));
    }
    return wrappers;
  }
  int64_t count = SecTrustGetCertificateCount(trust.value());
  if (count <= 0) return std::nullopt;
  for (int64_t index = 0; index < count; ++index) {
    wrappers.push_back(makeObject<SecCertificateWrapper>(
        SecTrustGetCertificateAtIndex(trust.value(), index)));
  }
  return wrappers;
}

}  // namespace wkwebview_host
