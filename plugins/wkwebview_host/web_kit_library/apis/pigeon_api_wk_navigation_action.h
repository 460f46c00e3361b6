// The API "WKNavigationAction": what caused a navigation, announced to the Dart side with
// `request`, `targetFrame`, `navigationType`.
#pragma once

#include <memory>

#include "platform/webkit/wk_navigation_action.h"
#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKNavigationAction;

// Reads the announced fields of an object.
class PigeonApiDelegateWKNavigationAction {
 public:
  virtual ~PigeonApiDelegateWKNavigationAction() = default;
  virtual std::shared_ptr<URLRequestWrapper> request(PigeonApiWKNavigationAction& api,
                                                     const WKNavigationAction& pigeonInstance) = 0;
  virtual std::shared_ptr<WKFrameInfo> targetFrame(PigeonApiWKNavigationAction& api,
                                                   const WKNavigationAction& pigeonInstance) = 0;
  virtual NavigationType navigationType(PigeonApiWKNavigationAction& api,
                                        const WKNavigationAction& pigeonInstance) = 0;
};

class PigeonApiWKNavigationAction final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKNavigationAction";

  PigeonApiWKNavigationAction(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                              std::unique_ptr<PigeonApiDelegateWKNavigationAction> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKNavigationAction& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<WKNavigationAction>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateWKNavigationAction> pigeon_delegate_;
};

}  // namespace wkwebview_host
