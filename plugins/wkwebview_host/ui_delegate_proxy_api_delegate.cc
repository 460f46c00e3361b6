#include "plugins/wkwebview_host/ui_delegate_proxy_api_delegate.h"

#include "plugins/wkwebview_host/ui_delegate_impl.h"

namespace wkwebview_host {

std::shared_ptr<NSObject> UIDelegateProxyAPIDelegate::pigeon_defaultConstructor(
    PigeonApiWKUIDelegate& api) {
  return makeObject<UIDelegateImpl>(api.pigeonRegistrar().weak_from_this());
}

}  // namespace wkwebview_host
