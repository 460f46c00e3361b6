// Webpage preferences of the Dart side: the content JavaScript switch, from macOS 11.0 on.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_webpage_preferences.h"

namespace wkwebview_host {

class WebpagePreferencesProxyAPIDelegate final : public PigeonApiDelegateWKWebpagePreferences {
 public:
  void setAllowsContentJavaScript(PigeonApiWKWebpagePreferences& api,
                                  WKWebpagePreferences& pigeonInstance, bool allow) override;
};

}  // namespace wkwebview_host
