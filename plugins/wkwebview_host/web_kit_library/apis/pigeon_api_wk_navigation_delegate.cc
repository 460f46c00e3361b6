#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_delegate.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_delegate_constructor.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiWKNavigationDelegate::hostOperations() {
  return {operation("pigeon_defaultConstructor",
                    &PigeonApiWKNavigationDelegate::pigeon_defaultConstructor)};
}

void PigeonApiWKNavigationDelegate::pigeon_defaultConstructor(const PigeonArguments& arguments,
                                                              const PigeonHostReply& reply) {
  constructDartObject(arguments, reply, pigeonRegistrar(),
                      [this] { return pigeon_delegate_->pigeon_defaultConstructor(*this); });
}

void PigeonApiWKNavigationDelegate::didFinishNavigation(const Object& pigeonInstance,
                                                        const WebView& webView,
                                                        const std::optional<std::string>& url,
                                                        PigeonCompletion completion) {
  callDart("didFinishNavigation", pigeonInstance, {objectValue(webView), valueOrNull(url)},
           DartReturn::none, std::move(completion));
}

void PigeonApiWKNavigationDelegate::didStartProvisionalNavigation(
    const Object& pigeonInstance, const WebView& webView, const std::optional<std::string>& url,
    PigeonCompletion completion) {
  callDart("didStartProvisionalNavigation", pigeonInstance,
           {objectValue(webView), valueOrNull(url)}, DartReturn::none, std::move(completion));
}

void PigeonApiWKNavigationDelegate::decidePolicyForNavigationAction(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<WKNavigationAction>& navigationAction, PigeonCompletion completion) {
  callDart("decidePolicyForNavigationAction", pigeonInstance,
           {objectValue(webView), objectValue(navigationAction)}, DartReturn::nonNull,
           std::move(completion));
}

void PigeonApiWKNavigationDelegate::decidePolicyForNavigationResponse(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<WKNavigationResponse>& navigationResponse,
    PigeonCompletion completion) {
  callDart("decidePolicyForNavigationResponse", pigeonInstance,
           {objectValue(webView), objectValue(navigationResponse)}, DartReturn::nonNull,
           std::move(completion));
}

void PigeonApiWKNavigationDelegate::didFailNavigation(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<NSError>& error, PigeonCompletion completion) {
  callDart("didFailNavigation", pigeonInstance, {objectValue(webView), objectValue(error)},
           DartReturn::none, std::move(completion));
}

void PigeonApiWKNavigationDelegate::didFailProvisionalNavigation(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<NSError>& error, PigeonCompletion completion) {
  callDart("didFailProvisionalNavigation", pigeonInstance,
           {objectValue(webView), objectValue(error)}, DartReturn::none, std::move(completion));
}

void PigeonApiWKNavigationDelegate::webViewWebContentProcessDidTerminate(
    const Object& pigeonInstance, const WebView& webView, PigeonCompletion completion) {
  callDart("webViewWebContentProcessDidTerminate", pigeonInstance, {objectValue(webView)},
           DartReturn::none, std::move(completion));
}

void PigeonApiWKNavigationDelegate::didReceiveAuthenticationChallenge(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<NSURLAuthenticationChallenge>& challenge,
    PigeonCompletion completion) {
  callDart("didReceiveAuthenticationChallenge", pigeonInstance,
           {objectValue(webView), objectValue(challenge)}, DartReturn::nonNull,
           std::move(completion));
}

}  // namespace wkwebview_host
