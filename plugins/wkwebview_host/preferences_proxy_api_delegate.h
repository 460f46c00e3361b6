// Page preferences of the Dart side. The JavaScript switch acts only below macOS 11.0; from
// then on the webpage preferences hold it.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_preferences.h"

namespace wkwebview_host {

class PreferencesProxyAPIDelegate final : public PigeonApiDelegateWKPreferences {
 public:
  void setJavaScriptEnabled(PigeonApiWKPreferences& api, WKPreferences& pigeonInstance,
                            bool enabled) override;
  void setJavaScriptCanOpenWindowsAutomatically(PigeonApiWKPreferences& /*api*/,
                                                WKPreferences& pigeonInstance,
                                                bool enabled) override {
    pigeonInstance.setJavaScriptCanOpenWindowsAutomatically(enabled);
  }
};

}  // namespace wkwebview_host
