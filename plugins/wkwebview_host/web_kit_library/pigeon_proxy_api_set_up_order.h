// The APIs whose host handlers the registrar installs, in the order of their definition.
#pragma once

#include <memory>
#include <span>

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_delegate.h"

namespace wkwebview_host {

using ProxyApiFactory = std::shared_ptr<PigeonProxyApi> (*)(WebKitLibraryPigeonProxyApiDelegate&,
                                                            WebKitLibraryPigeonProxyApiRegistrar&);

extern const std::span<const ProxyApiFactory> kProxyApiSetUpOrder;

}  // namespace wkwebview_host
