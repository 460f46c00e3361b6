// User scripts of the Dart side, and the fields of a user script: its source, its injection time
// and whether it is for the main frame only.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_script.h"

namespace wkwebview_host {

class UserScriptProxyAPIDelegate final : public PigeonApiDelegateWKUserScript {
 public:
  // `unknown` has no native injection time: the "UnknownEnumError", and no script.
  std::shared_ptr<WKUserScript> pigeonDefaultConstructor(PigeonApiWKUserScript& api,
                                                         const std::string& source,
                                                         UserScriptInjectionTime injectionTime,
                                                         bool isForMainFrameOnly) override;
  std::string source(PigeonApiWKUserScript& api, const WKUserScript& pigeonInstance) override;
  // A native injection time without a case of its own is `unknown`.
  UserScriptInjectionTime injectionTime(PigeonApiWKUserScript& api,
                                        const WKUserScript& pigeonInstance) override;
  bool isForMainFrameOnly(PigeonApiWKUserScript& api, const WKUserScript& pigeonInstance) override;
};

}  // namespace wkwebview_host
