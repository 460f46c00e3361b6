// The fields of a navigation response: the URL response object itself (an HTTP response is
// announced as one) and whether it is for the main frame.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_response.h"

namespace wkwebview_host {

class NavigationResponseProxyAPIDelegate final : public PigeonApiDelegateWKNavigationResponse {
 public:
  std::shared_ptr<NSURLResponse> response(
      PigeonApiWKNavigationResponse& api, const WKNavigationResponse& pigeonInstance) override;
  bool isForMainFrame(PigeonApiWKNavigationResponse& api,
                      const WKNavigationResponse& pigeonInstance) override;
};

}  // namespace wkwebview_host
