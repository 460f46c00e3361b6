// The navigation delegate that the Dart side creates: it forwards each of WebKit's navigation
// callbacks to the Dart side, and answers the policy questions and challenges with the Dart
// side's replies, or safely (cancel) when the call fails.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"
#include "platform/webkit/wk_navigation_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

class NavigationDelegateImpl final : public NSObject, public WKNavigationDelegate {
 public:
  // The registrar is not owned.
  explicit NavigationDelegateImpl(std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar)
      : registrar_(std::move(registrar)) {}

  void didFinishNavigation(const std::shared_ptr<WKWebView>& webView,
                           const std::shared_ptr<WKNavigation>& navigation) override;
  void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>& webView,
                                     const std::shared_ptr<WKNavigation>& navigation) override;
  void didFailNavigation(const std::shared_ptr<WKWebView>& webView,
                         const std::shared_ptr<WKNavigation>& navigation,
                         const std::shared_ptr<NSError>& error) override;
  void didFailProvisionalNavigation(const std::shared_ptr<WKWebView>& webView,
                                    const std::shared_ptr<WKNavigation>& navigation,
                                    const std::shared_ptr<NSError>& error) override;
  void webViewWebContentProcessDidTerminate(const std::shared_ptr<WKWebView>& webView) override;
  void decidePolicyForNavigationAction(const std::shared_ptr<WKWebView>& webView,
                                       const std::shared_ptr<WKNavigationAction>& navigationAction,
                                       ActionDecisionHandler decisionHandler) override;
  void decidePolicyForNavigationResponse(
      const std::shared_ptr<WKWebView>& webView,
      const std::shared_ptr<WKNavigationResponse>& navigationResponse,
      ResponseDecisionHandler decisionHandler) override;
  void didReceiveAuthenticationChallenge(
      const std::shared_ptr<WKWebView>& webView,
      const std::shared_ptr<NSURLAuthenticationChallenge>& challenge,
      ChallengeCompletionHandler completionHandler) override;

 private:
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar_;
};

}  // namespace wkwebview_host
