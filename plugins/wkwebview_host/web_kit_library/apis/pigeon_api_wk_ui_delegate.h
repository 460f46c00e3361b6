// The API "WKUIDelegate": UI delegates that the Dart side creates, and the five calls through
// which they pass a web view's user-interface requests to it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/webkit/wk_frame_info.h"
#include "platform/webkit/wk_navigation_action.h"
#include "platform/webkit/wk_security_origin.h"
#include "platform/webkit/wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKUIDelegate;

class PigeonApiDelegateWKUIDelegate {
 public:
  virtual ~PigeonApiDelegateWKUIDelegate() = default;
  virtual std::shared_ptr<NSObject> pigeon_defaultConstructor(
      PigeonApiWKUIDelegate& api) = 0;
};

class PigeonApiWKUIDelegate final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKUIDelegate";
  using Object = std::shared_ptr<NSObject>;
  using WebView = std::shared_ptr<WKWebView>;
  using Frame = std::shared_ptr<WKFrameInfo>;

  PigeonApiWKUIDelegate(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                        std::unique_ptr<PigeonApiDelegateWKUIDelegate> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKUIDelegate& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void onCreateWebView(const Object& pigeonInstance, const WebView& webView,
                       const std::shared_ptr<WKWebViewConfiguration>& configuration,
                       const std::shared_ptr<WKNavigationAction>& navigationAction,
                       PigeonCompletion completion);
  void requestMediaCapturePermission(const Object& pigeonInstance, const WebView& webView,
                                     const std::shared_ptr<WKSecurityOrigin>& origin,
                                     const Frame& frame, MediaCaptureType type,
                                     PigeonCompletion completion);
  void runJavaScriptAlertPanel(const Object& pigeonInstance, const WebView& webView,
                               const std::string& message, const Frame& frame,
                               PigeonCompletion completion);
  void runJavaScriptConfirmPanel(const Object& pigeonInstance, const WebView& webView,
                                 const std::string& message, const Frame& frame,
                                 PigeonCompletion completion);
  void runJavaScriptTextInputPanel(const Object& pigeonInstance, const WebView& webView,
                                   const std::string& prompt,
                                   const std::optional<std::string>& defaultText,
                                   const Frame& frame, PigeonCompletion completion);

 private:
  void pigeon_defaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKUIDelegate> pigeon_delegate_;
};

}  // namespace wkwebview_host
