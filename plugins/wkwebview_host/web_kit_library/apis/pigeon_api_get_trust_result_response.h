// The API "GetTrustResultResponse": results of reading a trust's evaluation, announced to the Dart
// side with `result`, `resultCode`.
#pragma once

#include <cstdint>
#include <memory>

#include "plugins/wkwebview_host/get_trust_result_response.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiGetTrustResultResponse;

// Reads the announced fields of an object.
class PigeonApiDelegateGetTrustResultResponse {
 public:
  virtual ~PigeonApiDelegateGetTrustResultResponse() = default;
  virtual DartSecTrustResultType result(PigeonApiGetTrustResultResponse& api,
                                        const GetTrustResultResponse& pigeonInstance) = 0;
  virtual int64_t resultCode(PigeonApiGetTrustResultResponse& api,
                             const GetTrustResultResponse& pigeonInstance) = 0;
};

class PigeonApiGetTrustResultResponse final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "GetTrustResultResponse";

  PigeonApiGetTrustResultResponse(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                  std::unique_ptr<PigeonApiDelegateGetTrustResultResponse> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateGetTrustResultResponse& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<GetTrustResultResponse>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateGetTrustResultResponse> pigeon_delegate_;
};

}  // namespace wkwebview_host
