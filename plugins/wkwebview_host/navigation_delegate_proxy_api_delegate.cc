#include "plugins/wkwebview_host/navigation_delegate_proxy_api_delegate.h"

#include "plugins/wkwebview_host/navigation_delegate_impl.h"

namespace wkwebview_host {

std::shared_ptr<NSObject> NavigationDelegateProxyAPIDelegate::pigeon_defaultConstructor(
    PigeonApiWKNavigationDelegate& api) {
  return makeObject<NavigationDelegateImpl>(api.pigeonRegistrar().weak_from_this());
}

}  // namespace wkwebview_host
