// The API "WKNavigationResponse": the responses of navigations, announced to the Dart side with
// `response`, `isForMainFrame`.
#pragma once

#include <memory>

#include "platform/webkit/wk_navigation_response.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKNavigationResponse;

// Reads the announced fields of an object.
class PigeonApiDelegateWKNavigationResponse {
 public:
  virtual ~PigeonApiDelegateWKNavigationResponse() = default;
  virtual std::shared_ptr<NSURLResponse> response(
      PigeonApiWKNavigationResponse& api, const WKNavigationResponse& pigeonInstance) = 0;
  virtual bool isForMainFrame(PigeonApiWKNavigationResponse& api,
                              const WKNavigationResponse& pigeonInstance) = 0;
};

class PigeonApiWKNavigationResponse final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKNavigationResponse";

  PigeonApiWKNavigationResponse(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                std::unique_ptr<PigeonApiDelegateWKNavigationResponse> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKNavigationResponse& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<WKNavigationResponse>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateWKNavigationResponse> pigeon_delegate_;
};

}  // namespace wkwebview_host
