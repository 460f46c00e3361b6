// The fields of a navigation action: a copy of its request in a new wrapper (so it is always
// announced anew), its target frame or null, and its navigation type.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_action.h"

namespace wkwebview_host {

class NavigationActionProxyAPIDelegate final : public PigeonApiDelegateWKNavigationAction {
 public:
  std::shared_ptr<URLRequestWrapper> request(PigeonApiWKNavigationAction& api,
                                             const WKNavigationAction& pigeonInstance) override;
  std::shared_ptr<WKFrameInfo> targetFrame(PigeonApiWKNavigationAction& api,
                                           const WKNavigationAction& pigeonInstance) override;
  // The platform's "other" (-1) is `other`; a value the platform may add later is `unknown`.
  NavigationType navigationType(PigeonApiWKNavigationAction& api,
                                const WKNavigationAction& pigeonInstance) override;
};

}  // namespace wkwebview_host
