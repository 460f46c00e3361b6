// The API "HTTPURLResponse": HTTP responses, announced to the Dart side with `statusCode`.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/foundation/ns_http_url_response.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiHTTPURLResponse;

// Reads the announced fields of an object.
class PigeonApiDelegateHTTPURLResponse {
 public:
  virtual ~PigeonApiDelegateHTTPURLResponse() = default;
  virtual int64_t statusCode(PigeonApiHTTPURLResponse& api,
                             const NSHTTPURLResponse& pigeonInstance) = 0;
};

class PigeonApiHTTPURLResponse final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "HTTPURLResponse";

  PigeonApiHTTPURLResponse(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                           std::unique_ptr<PigeonApiDelegateHTTPURLResponse> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateHTTPURLResponse& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<NSHTTPURLResponse>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateHTTPURLResponse> pigeon_delegate_;
};

}  // namespace wkwebview_host
