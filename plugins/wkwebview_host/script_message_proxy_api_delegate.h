// The fields of a script message: its name and its body, as it is.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message.h"

namespace wkwebview_host {

class ScriptMessageProxyAPIDelegate final : public PigeonApiDelegateWKScriptMessage {
 public:
  std::string name(PigeonApiWKScriptMessage& api, const WKScriptMessage& pigeonInstance) override;
  flutter::Value body(PigeonApiWKScriptMessage& api,
                      const WKScriptMessage& pigeonInstance) override;
};

}  // namespace wkwebview_host
