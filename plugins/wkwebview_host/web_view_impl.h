// The web view that the Dart side creates. It can observe values itself: each change it is told
// of goes to the Dart side as `NSObject.observeValue`, like a plain observer's.
#pragma once

#include <memory>

#include "platform/webkit/wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

class WebViewImpl final : public WKWebView {
 public:
  // The registrar is not owned: observations that arrive after it has gone are dropped.
  WebViewImpl(std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar, NSRect frame,
              std::shared_ptr<WKWebViewConfiguration> configuration)
      : WKWebView(frame, std::move(configuration)), registrar_(std::move(registrar)) {}

  void observeValueForKeyPath(const std::optional<std::string>& keyPath,
                              const std::shared_ptr<NSObject>& object,
                              const std::optional<AnyValue::Dictionary>& change,
                              void* context) override;

 private:
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar_;
};

}  // namespace wkwebview_host
