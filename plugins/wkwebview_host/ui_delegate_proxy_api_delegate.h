// The host behaviour of the API "WKUIDelegate": its constructor.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_ui_delegate.h"

namespace wkwebview_host {

class UIDelegateProxyAPIDelegate final : public PigeonApiDelegateWKUIDelegate {
 public:
  std::shared_ptr<NSObject> pigeon_defaultConstructor(
      PigeonApiWKUIDelegate& api) override;
};

}  // namespace wkwebview_host
