// The API "NSViewWKWebView": web views, on this platform. The Dart side creates them, loads
// content, moves through history, runs scripts and reads their state; they are announced without
// fields.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/webkit/wk_web_view.h"
#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiNSViewWKWebView;

// The host behaviour of the API. Operations that fail throw a PigeonError.
class PigeonApiDelegateNSViewWKWebView {
 public:
  using Api = PigeonApiNSViewWKWebView;
  virtual ~PigeonApiDelegateNSViewWKWebView() = default;
  virtual std::shared_ptr<WKWebView> pigeon_defaultConstructor(
      Api& api, const std::shared_ptr<WKWebViewConfiguration>& initialConfiguration) = 0;
  virtual std::shared_ptr<WKWebViewConfiguration> configuration(Api& api, WKWebView& webView) = 0;
  virtual void setUIDelegate(Api& api, WKWebView& webView,
                             const std::shared_ptr<WKUIDelegate>& delegate) = 0;
  virtual void setNavigationDelegate(Api& api, WKWebView& webView,
                                     const std::shared_ptr<WKNavigationDelegate>& delegate) = 0;
  virtual std::optional<std::string> getUrl(Api& api, WKWebView& webView) = 0;
  virtual double getEstimatedProgress(Api& api, WKWebView& webView) = 0;
  virtual void load(Api& api, WKWebView& webView, const URLRequestWrapper& request) = 0;
  virtual void loadHtmlString(Api& api, WKWebView& webView, const std::string& string,
                              const std::optional<std::string>& baseUrl) = 0;
  virtual void loadFileUrl(Api& api, WKWebView& webView, const std::string& url,
                           const std::string& readAccessPath) = 0;
  virtual void loadFlutterAsset(Api& api, WKWebView& webView, const std::string& key) = 0;
  virtual bool canGoBack(Api& api, WKWebView& webView) = 0;
  virtual bool canGoForward(Api& api, WKWebView& webView) = 0;
  virtual void goBack(Api& api, WKWebView& webView) = 0;
  virtual void goForward(Api& api, WKWebView& webView) = 0;
  virtual void reload(Api& api, WKWebView& webView) = 0;
  virtual std::optional<std::string> getTitle(Api& api, WKWebView& webView) = 0;
  virtual void setAllowsBackForwardNavigationGestures(Api& api, WKWebView& webView,
                                                      bool allow) = 0;
  virtual void setCustomUserAgent(Api& api, WKWebView& webView,
                                  const std::optional<std::string>& userAgent) = 0;
  // Completes once, later, with the converted result or the error, which it hands over.
  virtual void evaluateJavaScript(Api& api, WKWebView& webView, const std::string& javaScriptString,
                                  std::function<void(PigeonResult)> completion) = 0;
  virtual void setInspectable(Api& api, WKWebView& webView, bool inspectable) = 0;
  virtual std::optional<std::string> getCustomUserAgent(Api& api, WKWebView& webView) = 0;
  virtual void setAllowsLinkPreview(Api& api, WKWebView& webView, bool allow) = 0;
};

class PigeonApiNSViewWKWebView final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "NSViewWKWebView";

  PigeonApiNSViewWKWebView(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                           std::unique_ptr<PigeonApiDelegateNSViewWKWebView> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateNSViewWKWebView& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<WKWebView>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void pigeon_defaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void configuration(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void load(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void loadHtmlString(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void loadFileUrl(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void loadFlutterAsset(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void evaluateJavaScript(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setCustomUserAgent(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setInspectable(const PigeonArguments& arguments, const PigeonHostReply& reply);
  // The shared handlers: one per shape of operation, parametrised by the delegate's call.
  template <typename Protocol, auto call>
  PigeonHostOperation attachOperation(std::string name);
  template <auto call>
  PigeonHostOperation readOperation(std::string name);
  template <auto call>
  PigeonHostOperation actionOperation(std::string name);
  template <auto call>
  PigeonHostOperation flagOperation(std::string name);

  std::unique_ptr<PigeonApiDelegateNSViewWKWebView> pigeon_delegate_;
};

}  // namespace wkwebview_host
