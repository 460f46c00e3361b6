// The API "WKWebView": web views in general; on this platform every web view is announced through
// NSViewWKWebView. They are announced to the Dart side without fields.
#pragma once

#include <memory>

#include "platform/webkit/wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebView final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebView";

  explicit PigeonApiWKWebView(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<WKWebView>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
