// Makes the script-message handlers the Dart side asks for.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message_handler.h"

namespace wkwebview_host {

class ScriptMessageHandlerProxyAPIDelegate final : public PigeonApiDelegateWKScriptMessageHandler {
 public:
  std::shared_ptr<NSObject> pigeonDefaultConstructor(
      PigeonApiWKScriptMessageHandler& api) override;
};

}  // namespace wkwebview_host
