#include "plugins/wkwebview_host/ui_delegate_impl.h"

#include "platform/dispatch/dispatch.h"
#include "plugins/wkwebview_host/delegate_dart_call.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_ui_delegate.h"

namespace wkwebview_host {
namespace {

using Api = PigeonApiWKUIDelegate;
constexpr ApiFactory<Api> kApi = &WebKitLibraryPigeonProxyApiDelegate::pigeonApiWKUIDelegate;

WKPermissionDecision platformDecision(const std::variant<PermissionDecision, PigeonError>& answer) {
  const auto* decision = std::get_if<PermissionDecision>(&answer);
  if (decision == nullptr) return WKPermissionDecisionDeny;
  switch (*decision) {
    case PermissionDecision::deny:
      return WKPermissionDecisionDeny;
    case PermissionDecision::grant:
      return WKPermissionDecisionGrant;
    case PermissionDecision::prompt:
      return WKPermissionDecisionPrompt;
  }
  return WKPermissionDecisionDeny;
}

}  // namespace

MediaCaptureType mediaCaptureType(WKMediaCaptureType type) {
  switch (static_cast<uint64_t>(type)) {
    case WKMediaCaptureTypeCamera:
      return MediaCaptureType::camera;
    case WKMediaCaptureTypeMicrophone:
      return MediaCaptureType::microphone;
    case WKMediaCaptureTypeCameraAndMicrophone:
      return MediaCaptureType::cameraAndMicrophone;
    default:
      return MediaCaptureType::unknown;
  }
}

std::shared_ptr<WKWebView> UIDelegateImpl::createWebView(
    const std::shared_ptr<WKWebView>& webView,
    const std::shared_ptr<WKWebViewConfiguration>& configuration,
    const std::shared_ptr<WKNavigationAction>& navigationAction,
    const std::shared_ptr<WKWindowFeatures>&) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, configuration, navigationAction](Api& api, PigeonCompletion done) {
        api.onCreateWebView(self, webView, configuration, navigationAction, std::move(done));
      },
      logFailureAs("WKUIDelegate.onCreateWebView"));
  return nullptr;
}

void UIDelegateImpl::requestMediaCapturePermission(
    const std::shared_ptr<WKWebView>& webView, const std::shared_ptr<WKSecurityOrigin>& origin,
    const std::shared_ptr<WKFrameInfo>& frame, WKMediaCaptureType type,
    std::function<void(WKPermissionDecision)> decisionHandler) {
  MediaCaptureType capture_type = mediaCaptureType(type);
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, origin, frame, capture_type](Api& api, PigeonCompletion done) {
        api.requestMediaCapturePermission(self, webView, origin, frame, capture_type,
                                          std::move(done));
      },
      [decisionHandler](const PigeonResult& result) {
        auto answer = enumerationResult<PermissionDecision>(result);
        postAnswer(asLoggedResult(answer), "WKUIDelegate.requestMediaCapturePermission",
                   [decisionHandler, answer](const PigeonResult&) {
                     decisionHandler(platformDecision(answer));
                   });
      });
}

// The one panel that logs a failure before it completes.
void UIDelegateImpl::runJavaScriptAlertPanel(const std::shared_ptr<WKWebView>& webView,
                                             const std::string& message,
                                             const std::shared_ptr<WKFrameInfo>& frame,
                                             std::function<void()> completionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, message, frame](Api& api, PigeonCompletion done) {
        api.runJavaScriptAlertPanel(self, webView, message, frame, std::move(done));
      },
      [completionHandler](const PigeonResult& result) {
        dispatch_async(dispatch_get_main_queue(), [completionHandler, result] {
          if (const auto* error = std::get_if<PigeonError>(&result)) {
            ProxyAPIRegistrar::logDartCallFailure("WKUIDelegate.runJavaScriptAlertPanel", *error);
          }
          completionHandler();
        });
      });
}

void UIDelegateImpl::runJavaScriptConfirmPanel(const std::shared_ptr<WKWebView>& webView,
                                               const std::string& message,
                                               const std::shared_ptr<WKFrameInfo>& frame,
                                               std::function<void(bool)> completionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, message, frame](Api& api, PigeonCompletion done) {
        api.runJavaScriptConfirmPanel(self, webView, message, frame, std::move(done));
      },
      [completionHandler](const PigeonResult& result) {
        PigeonResult checked = result;
        bool confirmed = false;
        if (const auto* value = std::get_if<flutter::Value>(&result)) {
          if (const auto* flag = value->getIf<bool>()) {
            confirmed = *flag;
          } else {
            checked = invalidReplyError("a boolean");
          }
        }
        postAnswer(checked, "WKUIDelegate.runJavaScriptConfirmPanel",
                   [completionHandler, confirmed](const PigeonResult&) {
                     completionHandler(confirmed);
                   });
      });
}

void UIDelegateImpl::runJavaScriptTextInputPanel(
    const std::shared_ptr<WKWebView>& webView, const std::string& prompt,
    const std::optional<std::string>& defaultText, const std::shared_ptr<WKFrameInfo>& frame,
    std::function<void(std::optional<std::string>)> completionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, prompt, defaultText, frame](Api& api, PigeonCompletion done) {
        api.runJavaScriptTextInputPanel(self, webView, prompt, defaultText, frame,
                                        std::move(done));
      },
      [completionHandler](const PigeonResult& result) {
        PigeonResult checked = result;
        std::optional<std::string> text;
        if (const auto* value = std::get_if<flutter::Value>(&result)) {
          if (const auto* reply = value->asString()) {
            text = *reply;
          } else if (!value->isNull()) {
            checked = invalidReplyError("a string");
          }
        }
        postAnswer(checked, "WKUIDelegate.runJavaScriptTextInputPanel",
                   [completionHandler, text](const PigeonResult&) { completionHandler(text); });
      });
}

}  // namespace wkwebview_host
