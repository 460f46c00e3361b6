// The fields of a trust-result response: the result type in the Dart side's terms, and the
// status code widened with its sign.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_get_trust_result_response.h"

namespace wkwebview_host {

class GetTrustResultResponseProxyAPIDelegate final
    : public PigeonApiDelegateGetTrustResultResponse {
 public:
  DartSecTrustResultType result(PigeonApiGetTrustResultResponse& /*api*/,
                                const GetTrustResultResponse& pigeonInstance) override;
  int64_t resultCode(PigeonApiGetTrustResultResponse& /*api*/,
                     const GetTrustResultResponse& pigeonInstance) override {
    return pigeonInstance.resultCode();
  }
};

}  // namespace wkwebview_host
