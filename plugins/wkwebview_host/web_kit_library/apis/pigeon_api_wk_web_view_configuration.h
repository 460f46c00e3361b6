// The API "WKWebViewConfiguration": web-view configurations. They are announced to the Dart side
// without fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_web_view_configuration.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebViewConfiguration final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebViewConfiguration";

  explicit PigeonApiWKWebViewConfiguration(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKWebViewConfiguration>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
