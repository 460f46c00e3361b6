#include "plugins/wkwebview_host/navigation_delegate_impl.h"

#include "platform/foundation/ns_process_info.h"
#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/delegate_dart_call.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {
namespace {

using Api = PigeonApiWKNavigationDelegate;
constexpr ApiFactory<Api> kApi = &WebKitLibraryPigeonProxyApiDelegate::pigeonApiWKNavigationDelegate;

std::optional<std::string> currentUrl(const WKWebView& webView) {
  auto url = webView.URL();
  return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
}

// The web view's URL as it is when the call is made, not when the callback came.
struct UrlWhenSent {
  std::shared_ptr<WKWebView> webView;
};

template <typename T>
const T& whenSent(const T& argument) {
  return argument;
}

std::optional<std::string> whenSent(const UrlWhenSent& url) { return currentUrl(*url.webView); }

// A notification to the Dart side, whose answer matters only when it is a failure to log.
template <typename Send, typename... Arguments>
void notifyDart(const std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar>& registrar,
                const std::string& method, Send send, Api::Object self, Api::WebView webView,
                Arguments... arguments) {
  postDartCall<Api>(
      registrar, kApi,
      [send, self = std::move(self), webView = std::move(webView),
       arguments...](Api& api, PigeonCompletion done) {
        (api.*send)(self, webView, whenSent(arguments)..., std::move(done));
      },
      logFailureAs("WKNavigationDelegate." + method));
}

// Both decisions share the numbers: allow, cancel, and download from macOS 11.3 on.
template <typename Policy, typename Platform>
Platform platformPolicy(const std::variant<Policy, PigeonError>& answer) {
  const auto* policy = std::get_if<Policy>(&answer);
  if (policy == nullptr) return static_cast<Platform>(0);
  switch (*policy) {
    case Policy::allow:
      return static_cast<Platform>(1);
    case Policy::cancel:
      return static_cast<Platform>(0);
    case Policy::download:
      return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 3, 0})
                 ? static_cast<Platform>(2)
                 : static_cast<Platform>(0);
  }
  return static_cast<Platform>(0);
}

}  // namespace

void NavigationDelegateImpl::didFinishNavigation(const std::shared_ptr<WKWebView>& webView,
                                                 const std::shared_ptr<WKNavigation>&) {
  notifyDart(registrar_, "didFinishNavigation", &Api::didFinishNavigation, self(), webView,
             UrlWhenSent{webView});
}

void NavigationDelegateImpl::didStartProvisionalNavigation(
    const std::shared_ptr<WKWebView>& webView, const std::shared_ptr<WKNavigation>&) {
  notifyDart(registrar_, "didStartProvisionalNavigation", &Api::didStartProvisionalNavigation,
             self(), webView, UrlWhenSent{webView});
}

void NavigationDelegateImpl::didFailNavigation(const std::shared_ptr<WKWebView>& webView,
                                               const std::shared_ptr<WKNavigation>&,
                                               const std::shared_ptr<NSError>& error) {
  notifyDart(registrar_, "didFailNavigation", &Api::didFailNavigation, self(), webView, error);
}

void NavigationDelegateImpl::didFailProvisionalNavigation(
    const std::shared_ptr<WKWebView>& webView, const std::shared_ptr<WKNavigation>&,
    const std::shared_ptr<NSError>& error) {
  notifyDart(registrar_, "didFailProvisionalNavigation", &Api::didFailProvisionalNavigation,
             self(), webView, error);
}

void NavigationDelegateImpl::webViewWebContentProcessDidTerminate(
    const std::shared_ptr<WKWebView>& webView) {
  notifyDart(registrar_, "webViewWebContentProcessDidTerminate",
             &Api::webViewWebContentProcessDidTerminate, self(), webView);
}

void NavigationDelegateImpl::decidePolicyForNavigationAction(
    const std::shared_ptr<WKWebView>& webView,
    const std::shared_ptr<WKNavigationAction>& navigationAction,
    ActionDecisionHandler decisionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, navigationAction](Api& api, PigeonCompletion done) {
        api.decidePolicyForNavigationAction(self, webView, navigationAction, std::move(done));
      },
      [decisionHandler](const PigeonResult& result) {
        auto answer = enumerationResult<NavigationActionPolicy>(result);
        postAnswer(asLoggedResult(answer), "WKNavigationDelegate.decidePolicyForNavigationAction",
                   [decisionHandler, answer](const PigeonResult&) {
                     decisionHandler(
                         platformPolicy<NavigationActionPolicy, WKNavigationActionPolicy>(answer));
                   });
      });
}

void NavigationDelegateImpl::decidePolicyForNavigationResponse(
    const std::shared_ptr<WKWebView>& webView,
    const std::shared_ptr<WKNavigationResponse>& navigationResponse,
    ResponseDecisionHandler decisionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, navigationResponse](Api& api, PigeonCompletion done) {
        api.decidePolicyForNavigationResponse(self, webView, navigationResponse, std::move(done));
      },
      [decisionHandler](const PigeonResult& result) {
        auto answer = enumerationResult<NavigationResponsePolicy>(result);
        postAnswer(asLoggedResult(answer),
                   "WKNavigationDelegate.decidePolicyForNavigationResponse",
                   [decisionHandler, answer](const PigeonResult&) {
                     decisionHandler(
                         platformPolicy<NavigationResponsePolicy, WKNavigationResponsePolicy>(
                             answer));
                   });
      });
}

void NavigationDelegateImpl::didReceiveAuthenticationChallenge(
    const std::shared_ptr<WKWebView>& webView,
    const std::shared_ptr<NSURLAuthenticationChallenge>& challenge,
    ChallengeCompletionHandler completionHandler) {
  postDartCall<Api>(
      registrar_, kApi,
      [self = self(), webView, challenge](Api& api, PigeonCompletion done) {
        api.didReceiveAuthenticationChallenge(self, webView, challenge, std::move(done));
      },
      [completionHandler](const PigeonResult& result) {
        PigeonResult checked = result;
        std::shared_ptr<AuthenticationChallengeResponse> response;
        if (const auto* value = std::get_if<flutter::Value>(&result)) {
          response = objectFromValue<AuthenticationChallengeResponse>(*value);
          if (!response) {
            checked = invalidReplyError("an AuthenticationChallengeResponse");
          }
        }
        postAnswer(checked, "WKNavigationDelegate.didReceiveAuthenticationChallenge",
                   [completionHandler, response](const PigeonResult&) {
                     if (response) {
                       completionHandler(response->disposition(), response->credential());
                     } else {
                       completionHandler(
                           NSURLSessionAuthChallengeCancelAuthenticationChallenge,
                           nullptr);
                     }
                   });
      });
}

}  // namespace wkwebview_host
