#include "plugins/wkwebview_host/navigation_action_proxy_api_delegate.h"

namespace wkwebview_host {

std::shared_ptr<URLRequestWrapper> NavigationActionProxyAPIDelegate::request(
    PigeonApiWKNavigationAction&, const WKNavigationAction& pigeonInstance) {
  return makeObject<URLRequestWrapper>(pigeonInstance.request());
}

std::shared_ptr<WKFrameInfo> NavigationActionProxyAPIDelegate::targetFrame(
    PigeonApiWKNavigationAction&, const WKNavigationAction& pigeonInstance) {
  return pigeonInstance.targetFrame();
}

NavigationType NavigationActionProxyAPIDelegate::navigationType(
    PigeonApiWKNavigationAction&, const WKNavigationAction& pigeonInstance) {
  switch (pigeonInstance.navigationType()) {
    case WKNavigationTypeLinkActivated:
      return NavigationType::linkActivated;
    case WKNavigationTypeFormSubmitted:
      return NavigationType::formSubmitted;
    case WKNavigationTypeBackForward:
      return NavigationType::backForward;
    case WKNavigationTypeReload:
      return NavigationType::reload;
    case WKNavigationTypeFormResubmitted:
      return NavigationType::formResubmitted;
    case WKNavigationTypeOther:
      return NavigationType::other;
  }
  return NavigationType::unknown;
}

}  // namespace wkwebview_host
