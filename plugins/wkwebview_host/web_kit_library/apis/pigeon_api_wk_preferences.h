// The API "WKPreferences": page preferences. They are announced to the Dart side without fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKPreferences final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKPreferences";

  explicit PigeonApiWKPreferences(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKPreferences>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
