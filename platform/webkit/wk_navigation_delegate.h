// The protocol of an object that follows a web view's navigations. Every callback is optional:
// one the delegate does not override does what the platform does without a delegate (allow the
// navigation or response, handle a challenge the default way).
//
// The callbacks are named after the keyword that tells them apart; each runs on the main thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_url_authentication_challenge.h"
#include "platform/foundation/ns_url_credential.h"
#include "platform/webkit/wk_navigation.h"
#include "platform/webkit/wk_navigation_action.h"
#include "platform/webkit/wk_navigation_response.h"

class WKWebView;

enum WKNavigationActionPolicy : int64_t {
  WKNavigationActionPolicyCancel = 0,
  WKNavigationActionPolicyAllow = 1,
  WKNavigationActionPolicyDownload = 2,
};

enum WKNavigationResponsePolicy : int64_t {
  WKNavigationResponsePolicyCancel = 0,
  WKNavigationResponsePolicyAllow = 1,
  WKNavigationResponsePolicyDownload = 2,
};

class WKNavigationDelegate {
 public:
  using ActionDecisionHandler = std::function<void(WKNavigationActionPolicy)>;
  using ResponseDecisionHandler = std::function<void(WKNavigationResponsePolicy)>;
  using ChallengeCompletionHandler =
      std::function<void(NSURLSessionAuthChallengeDisposition,
                         std::shared_ptr<NSURLCredential>)>;

  virtual ~WKNavigationDelegate() = default;

  virtual void didFinishNavigation(const std::shared_ptr<WKWebView>& /*webView*/,
                                   const std::shared_ptr<WKNavigation>& /*navigation*/) {}
  virtual void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>& /*webView*/,
                                             const std::shared_ptr<WKNavigation>& /*navigation*/) {
  }
  virtual void didFailNavigation(const std::shared_ptr<WKWebView>& /*webView*/,
                                 const std::shared_ptr<WKNavigation>& /*navigation*/,
                                 const std::shared_ptr<NSError>& /*error*/) {}
  virtual void didFailProvisionalNavigation(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<WKNavigation>& /*navigation*/,
      const std::shared_ptr<NSError>& /*error*/) {}
  virtual void webViewWebContentProcessDidTerminate(const std::shared_ptr<WKWebView>& /*webView*/) {
  }
  // Each handler must be called exactly once.
  virtual void decidePolicyForNavigationAction(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<WKNavigationAction>& /*navigationAction*/,
      ActionDecisionHandler decisionHandler) {
    decisionHandler(WKNavigationActionPolicyAllow);
  }
  virtual void decidePolicyForNavigationResponse(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<WKNavigationResponse>& /*navigationResponse*/,
      ResponseDecisionHandler decisionHandler) {
    decisionHandler(WKNavigationResponsePolicyAllow);
  }
  virtual void didReceiveAuthenticationChallenge(
      const std::shared_ptr<WKWebView>& /*webView*/,
      const std::shared_ptr<NSURLAuthenticationChallenge>& /*challenge*/,
      ChallengeCompletionHandler completionHandler) {
    completionHandler(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
  }
};
