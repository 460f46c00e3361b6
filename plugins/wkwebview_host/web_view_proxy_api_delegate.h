// The host behaviour of the API "NSViewWKWebView": each operation on the platform web view, with
// the asset lookup, the script-result conversion and the version gate of inspection.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_view_wk_web_view.h"

namespace wkwebview_host {

class WebViewProxyAPIDelegate final : public PigeonApiDelegateNSViewWKWebView {
 public:
  std::shared_ptr<WKWebView> pigeon_defaultConstructor(
      Api& api, const std::shared_ptr<WKWebViewConfiguration>& initialConfiguration) override;
  std::shared_ptr<WKWebViewConfiguration> configuration(Api& api, WKWebView& webView) override;
  void setUIDelegate(Api& api, WKWebView& webView,
                     const std::shared_ptr<WKUIDelegate>& delegate) override;
  void setNavigationDelegate(Api& api, WKWebView& webView,
                             const std::shared_ptr<WKNavigationDelegate>& delegate) override;
  std::optional<std::string> getUrl(Api& api, WKWebView& webView) override;
  double getEstimatedProgress(Api& api, WKWebView& webView) override;
  void load(Api& api, WKWebView& webView, const URLRequestWrapper& request) override;
  // A base URL that is not a URL is refused ("invalid-argument").
  void loadHtmlString(Api& api, WKWebView& webView, const std::string& string,
                      const std::optional<std::string>& baseUrl) override;
  void loadFileUrl(Api& api, WKWebView& webView, const std::string& url,
                   const std::string& readAccessPath) override;
  void loadFlutterAsset(Api& api, WKWebView& webView, const std::string& key) override;
  bool canGoBack(Api& api, WKWebView& webView) override;
  bool canGoForward(Api& api, WKWebView& webView) override;
  void goBack(Api& api, WKWebView& webView) override;
  void goForward(Api& api, WKWebView& webView) override;
  void reload(Api& api, WKWebView& webView) override;
  std::optional<std::string> getTitle(Api& api, WKWebView& webView) override;
  void setAllowsBackForwardNavigationGestures(Api& api, WKWebView& webView, bool allow) override;
  void setCustomUserAgent(Api& api, WKWebView& webView,
                          const std::optional<std::string>& userAgent) override;
  void evaluateJavaScript(Api& api, WKWebView& webView, const std::string& javaScriptString,
                          std::function<void(PigeonResult)> completion) override;
  void setInspectable(Api& api, WKWebView& webView, bool inspectable) override;
  std::optional<std::string> getCustomUserAgent(Api& api, WKWebView& webView) override;
  void setAllowsLinkPreview(Api& api, WKWebView& webView, bool allow) override;
};

// A script's result as the Dart side gets it: null, a string, a number or boolean as it is, and
// for anything else its description (after one line on standard output saying so, with the
// description cut to 1 KiB). A description longer than a reply may be fails with
// "reply_too_large".
PigeonResult javaScriptResultValue(AnyValue result);

}  // namespace wkwebview_host
