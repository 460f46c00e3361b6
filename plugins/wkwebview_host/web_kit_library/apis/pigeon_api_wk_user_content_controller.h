// The API "WKUserContentController": user content controllers. They are announced to the Dart side
// without fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKUserContentController final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKUserContentController";

  explicit PigeonApiWKUserContentController(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKUserContentController>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
