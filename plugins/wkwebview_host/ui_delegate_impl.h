// The UI delegate that the Dart side creates: it passes a web view's new-window requests, capture
// requests and script panels to the Dart side, and answers WebKit with the Dart side's replies,
// or with the safe answer (deny, false, nothing) when the call fails.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"
#include "platform/webkit/wk_ui_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

class UIDelegateImpl final : public NSObject, public WKUIDelegate {
 public:
  // The registrar is not owned.
  explicit UIDelegateImpl(std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar)
      : registrar_(std::move(registrar)) {}

  // Answers null at once; the Dart side only hears of the request.
  std::shared_ptr<WKWebView> createWebView(
      const std::shared_ptr<WKWebView>& webView,
      const std::shared_ptr<WKWebViewConfiguration>& configuration,
      const std::shared_ptr<WKNavigationAction>& navigationAction,
      const std::shared_ptr<WKWindowFeatures>& windowFeatures) override;
  void requestMediaCapturePermission(
      const std::shared_ptr<WKWebView>& webView, const std::shared_ptr<WKSecurityOrigin>& origin,
      const std::shared_ptr<WKFrameInfo>& frame, WKMediaCaptureType type,
      std::function<void(WKPermissionDecision)> decisionHandler) override;
  void runJavaScriptAlertPanel(const std::shared_ptr<WKWebView>& webView,
                               const std::string& message,
                               const std::shared_ptr<WKFrameInfo>& frame,
                               std::function<void()> completionHandler) override;
  void runJavaScriptConfirmPanel(const std::shared_ptr<WKWebView>& webView,
                                 const std::string& message,
                                 const std::shared_ptr<WKFrameInfo>& frame,
                                 std::function<void(bool)> completionHandler) override;
  void runJavaScriptTextInputPanel(
      const std::shared_ptr<WKWebView>& webView, const std::string& prompt,
      const std::optional<std::string>& defaultText, const std::shared_ptr<WKFrameInfo>& frame,
      std::function<void(std::optional<std::string>)> completionHandler) override;

 private:
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar_;
};

// WebKit's capture type as the Dart side names it; a kind it does not know is `unknown`.
MediaCaptureType mediaCaptureType(WKMediaCaptureType type);

}  // namespace wkwebview_host
