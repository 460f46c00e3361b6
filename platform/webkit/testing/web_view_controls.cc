#include "platform/webkit/testing/web_view_controls.h"

#include "platform/webkit/internal/web_content_process.h"

namespace webkit::testing {
namespace {

// Answers as the platform does for a web view without a UI delegate.
std::shared_ptr<WKUIDelegate> uiDelegateOf(const WKWebView& webView) {
  if (auto delegate = webView.UIDelegate()) return delegate;
  return std::make_shared<WKUIDelegate>();
}

}  // namespace

void setServedResponse(const std::string& url, ServedResponse response) {
  ServedResponses::shared().setResponse(url, std::move(response));
}

void removeAllServedResponses() { ServedResponses::shared().removeAll(); }

void WebViewControls::holdSteps(WKWebView& webView) {
  webView.steps_held_ = true;
  webView.steps_released_ = 0;
}

void WebViewControls::releaseStep(WKWebView& webView) {
  ++webView.steps_released_;
  if (webView.step_waiting_) webView.scheduleStep();
}

void WebViewControls::releaseSteps(WKWebView& webView) {
  webView.steps_held_ = false;
  webView.steps_released_ = 0;
  if (webView.step_waiting_) webView.scheduleStep();
}

std::optional<NavigationStep> WebViewControls::currentStep(const WKWebView& webView) {
  if (webView.navigations_.empty()) return std::nullopt;
  return webView.navigations_.front()->step;
}

size_t WebViewControls::pendingNavigations(const WKWebView& webView) {
  return webView.navigations_.size();
}

void WebViewControls::setScriptTimeBudget(WKWebView& webView, std::chrono::milliseconds budget) {
  webView.script_time_budget_ = budget;
  if (webView.content_) webView.content_->setScriptTimeBudget(budget);
}

void WebViewControls::raiseScriptEngineFatalError(WKWebView& webView) {
  webView.content().raiseFatalError();
}

void WebViewControls::holdPageFileReads(bool hold) { webkit::holdPageFileReads(hold); }

pid_t WebViewControls::contentProcessId(const WKWebView& webView) {
  return webView.content_ ? webView.content_->processId() : 0;
}

void WebViewControls::failNavigation(WKWebView& webView,
                                     std::shared_ptr<NSError> error) {
  webView.fail(std::move(error));
}

void WebViewControls::terminateWebContentProcess(WKWebView& webView) {
  webView.terminateWebContentProcess();
}

void WebViewControls::runJavaScriptAlertPanel(WKWebView& webView, const std::string& message,
                                              std::function<void()> completion) {
  uiDelegateOf(webView)->runJavaScriptAlertPanel(webView.selfView(), message, webView.mainFrame(),
                                                 std::move(completion));
}

void WebViewControls::runJavaScriptConfirmPanel(WKWebView& webView, const std::string& message,
                                                std::function<void(bool)> completion) {
  uiDelegateOf(webView)->runJavaScriptConfirmPanel(webView.selfView(), message, webView.mainFrame(),
                                                   std::move(completion));
}

void WebViewControls::runJavaScriptTextInputPanel(
    WKWebView& webView, const std::string& prompt, const std::optional<std::string>& defaultText,
    std::function<void(std::optional<std::string>)> completion) {
  uiDelegateOf(webView)->runJavaScriptTextInputPanel(webView.selfView(), prompt, defaultText,
                                                     webView.mainFrame(), std::move(completion));
}

void WebViewControls::requestMediaCapturePermission(
    WKWebView& webView, WKMediaCaptureType type,
    std::function<void(WKPermissionDecision)> decision) {
  auto frame = webView.mainFrame();
  uiDelegateOf(webView)->requestMediaCapturePermission(webView.selfView(), frame->securityOrigin(),
                                                       frame, type, std::move(decision));
}

std::shared_ptr<WKWebView> WebViewControls::requestNewWindow(
    WKWebView& webView, const URLRequest& request) {
  auto action =
      makeObject<WKNavigationAction>(request, nullptr, WKNavigationTypeLinkActivated);
  return uiDelegateOf(webView)->createWebView(webView.selfView(), webView.configuration(), action,
                                              makeObject<WKWindowFeatures>());
}

}  // namespace webkit::testing
