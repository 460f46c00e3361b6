// The API "WKNavigationDelegate": navigation delegates that the Dart side creates, and the eight
// calls through which they tell it of a web view's navigations.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_url_authentication_challenge.h"
#include "platform/webkit/wk_navigation_action.h"
#include "platform/webkit/wk_navigation_response.h"
#include "platform/webkit/wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKNavigationDelegate;

class PigeonApiDelegateWKNavigationDelegate {
 public:
  virtual ~PigeonApiDelegateWKNavigationDelegate() = default;
  virtual std::shared_ptr<NSObject> pigeon_defaultConstructor(
      PigeonApiWKNavigationDelegate& api) = 0;
};

class PigeonApiWKNavigationDelegate final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKNavigationDelegate";
  using Object = std::shared_ptr<NSObject>;
  using WebView = std::shared_ptr<WKWebView>;

  PigeonApiWKNavigationDelegate(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                std::unique_ptr<PigeonApiDelegateWKNavigationDelegate> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKNavigationDelegate& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void didFinishNavigation(const Object& pigeonInstance, const WebView& webView,
                           const std::optional<std::string>& url, PigeonCompletion completion);
  void didStartProvisionalNavigation(const Object& pigeonInstance, const WebView& webView,
                                     const std::optional<std::string>& url,
                                     PigeonCompletion completion);
  void decidePolicyForNavigationAction(const Object& pigeonInstance, const WebView& webView,
                                       const std::shared_ptr<WKNavigationAction>& navigationAction,
                                       PigeonCompletion completion);
  void decidePolicyForNavigationResponse(
      const Object& pigeonInstance, const WebView& webView,
      const std::shared_ptr<WKNavigationResponse>& navigationResponse,
      PigeonCompletion completion);
  void didFailNavigation(const Object& pigeonInstance, const WebView& webView,
                         const std::shared_ptr<NSError>& error,
                         PigeonCompletion completion);
  void didFailProvisionalNavigation(const Object& pigeonInstance, const WebView& webView,
                                    const std::shared_ptr<NSError>& error,
                                    PigeonCompletion completion);
  void webViewWebContentProcessDidTerminate(const Object& pigeonInstance, const WebView& webView,
                                            PigeonCompletion completion);
  void didReceiveAuthenticationChallenge(
      const Object& pigeonInstance, const WebView& webView,
      const std::shared_ptr<NSURLAuthenticationChallenge>& challenge,
      PigeonCompletion completion);

 private:
  void pigeon_defaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKNavigationDelegate> pigeon_delegate_;
};

}  // namespace wkwebview_host
