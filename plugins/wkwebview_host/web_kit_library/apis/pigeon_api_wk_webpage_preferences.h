// The API "WKWebpagePreferences": webpage preferences. They are announced to the Dart side without
// fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_webpage_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebpagePreferences final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebpagePreferences";

  explicit PigeonApiWKWebpagePreferences(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKWebpagePreferences>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
