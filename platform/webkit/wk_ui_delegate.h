// The protocol of an object that presents a web view's user-interface requests (new windows,
// script panels, capture permissions). Every callback is optional: one the delegate does not
// override answers as the platform does without a delegate (no new window, panels dismissed,
// capture asked of the user).
//
// The callbacks are named after the keyword that tells them apart; each runs on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/webkit/wk_frame_info.h"
#include "platform/webkit/wk_navigation_action.h"
#include "platform/webkit/wk_security_origin.h"
#include "platform/webkit/wk_web_view_configuration.h"
#include "platform/webkit/wk_window_features.h"

class WKWebView;

// Newer systems may add kinds, so any other value may arrive.
enum WKMediaCaptureType : int64_t {
  WKMediaCaptureTypeCamera = 0,
  WKMediaCaptureTypeMicrophone = 1,
  WKMediaCaptureTypeCameraAndMicrophone = 2,
};

enum WKPermissionDecision : int64_t {
  WKPermissionDecisionPrompt = 0,
  WKPermissionDecisionGrant = 1,
  WKPermissionDecisionDeny = 2,
};

class WKUIDelegate {
 public:
  virtual ~WKUIDelegate() = default;

  // The web view to show the new window's content in; null opens nothing.
  virtual std::shared_ptr<WKWebView> createWebView(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<WKWebViewConfiguration>& /*configuration*/,
      const std::shared_ptr<WKNavigationAction>& /*navigationAction*/,
      const std::shared_ptr<WKWindowFeatures>& /*windowFeatures*/) {
    return nullptr;
  }
  // Each handler must be called exactly once.
  virtual void requestMediaCapturePermission(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<WKSecurityOrigin>& /*origin*/,
      const std::shared_ptr<WKFrameInfo>& /*frame*/, WKMediaCaptureType /*type*/,
      std::function<void(WKPermissionDecision)> decisionHandler) {
    decisionHandler(WKPermissionDecisionPrompt);
  }
  virtual void runJavaScriptAlertPanel(const std::shared_ptr<WKWebView>& /*webView*/,
                                       const std::string& /*message*/,
                                       const std::shared_ptr<WKFrameInfo>& /*frame*/,
                                       std::function<void()> completionHandler) {
    completionHandler();
  }
  virtual void runJavaScriptConfirmPanel(const std::shared_ptr<WKWebView>& /*webView*/,
                                         const std::string& /*message*/,
                                         const std::shared_ptr<WKFrameInfo>& /*frame*/,
                                         std::function<void(bool)> completionHandler) {
    completionHandler(false);
  }
  virtual void runJavaScriptTextInputPanel(
      const std::shared_ptr<WKWebView>& /*webView*/, const std::string& /*prompt*/,
      const std::optional<std::string>& /*defaultText*/,
      const std::shared_ptr<WKFrameInfo>& /*frame*/,
      std::function<void(std::optional<std::string>)> completionHandler) {
    completionHandler(std::nullopt);
  }
};
