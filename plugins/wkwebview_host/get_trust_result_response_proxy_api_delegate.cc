#include "plugins/wkwebview_host/get_trust_result_response_proxy_api_delegate.h"

#include <array>

namespace wkwebview_host {

DartSecTrustResultType GetTrustResultResponseProxyAPIDelegate::result(
    PigeonApiGetTrustResultResponse&, const GetTrustResultResponse& pigeonInstance) {
  // Indexed by the platform's trust result type, invalid (0) to other error (7).
  static constexpr std::array kByPlatformResult = {
      DartSecTrustResultType::invalid,           DartSecTrustResultType::proceed,
      DartSecTrustResultType::confirm,           DartSecTrustResultType::deny,
      DartSecTrustResultType::unspecified,       DartSecTrustResultType::recoverableTrustFailure,
      DartSecTrustResultType::fatalTrustFailure, DartSecTrustResultType::otherError,
  };
  uint32_t platform_result = pigeonInstance.result();
  return platform_result < kByPlatformResult.size() ? kByPlatformResult[platform_result]
                                                    : DartSecTrustResultType::unknown;
}

}  // namespace wkwebview_host
