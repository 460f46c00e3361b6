// The host behaviour of the API "WKNavigationDelegate": its constructor.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_delegate.h"

namespace wkwebview_host {

class NavigationDelegateProxyAPIDelegate final : public PigeonApiDelegateWKNavigationDelegate {
 public:
  std::shared_ptr<NSObject> pigeon_defaultConstructor(
      PigeonApiWKNavigationDelegate& api) override;
};

}  // namespace wkwebview_host
