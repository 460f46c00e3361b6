#include "plugins/wkwebview_host/navigation_response_proxy_api_delegate.h"

namespace wkwebview_host {

std::shared_ptr<NSURLResponse> NavigationResponseProxyAPIDelegate::response(
    PigeonApiWKNavigationResponse&, const WKNavigationResponse& pigeonInstance) {
  return pigeonInstance.response();
}

bool NavigationResponseProxyAPIDelegate::isForMainFrame(
    PigeonApiWKNavigationResponse&, const WKNavigationResponse& pigeonInstance) {
  return pigeonInstance.isForMainFrame();
}

}  // namespace wkwebview_host
