#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_ui_delegate.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_delegate_constructor.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiWKUIDelegate::hostOperations() {
  return {operation("pigeon_defaultConstructor", &PigeonApiWKUIDelegate::pigeon_defaultConstructor)};
}

void PigeonApiWKUIDelegate::pigeon_defaultConstructor(const PigeonArguments& arguments,
                                                      const PigeonHostReply& reply) {
  constructDartObject(arguments, reply, pigeonRegistrar(),
                      [this] { return pigeon_delegate_->pigeon_defaultConstructor(*this); });
}

// The window features are never sent.
void PigeonApiWKUIDelegate::onCreateWebView(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<WKWebViewConfiguration>& configuration,
    const std::shared_ptr<WKNavigationAction>& navigationAction, PigeonCompletion completion) {
  callDart("onCreateWebView", pigeonInstance,
           {objectValue(webView), objectValue(configuration), objectValue(navigationAction)},
           DartReturn::none, std::move(completion));
}

void PigeonApiWKUIDelegate::requestMediaCapturePermission(
    const Object& pigeonInstance, const WebView& webView,
    const std::shared_ptr<WKSecurityOrigin>& origin, const Frame& frame, MediaCaptureType type,
    PigeonCompletion completion) {
  callDart("requestMediaCapturePermission", pigeonInstance,
           {objectValue(webView), objectValue(origin), objectValue(frame), enumerationValue(type)},
           DartReturn::nonNull, std::move(completion));
}

void PigeonApiWKUIDelegate::runJavaScriptAlertPanel(const Object& pigeonInstance,
                                                    const WebView& webView,
                                                    const std::string& message, const Frame& frame,
                                                    PigeonCompletion completion) {
  callDart("runJavaScriptAlertPanel", pigeonInstance,
           {objectValue(webView), flutter::Value(message), objectValue(frame)}, DartReturn::none,
           std::move(completion));
}

void PigeonApiWKUIDelegate::runJavaScriptConfirmPanel(const Object& pigeonInstance,
                                                      const WebView& webView,
                                                      const std::string& message,
                                                      const Frame& frame,
                                                      PigeonCompletion completion) {
  callDart("runJavaScriptConfirmPanel", pigeonInstance,
           {objectValue(webView), flutter::Value(message), objectValue(frame)},
           DartReturn::nonNull, std::move(completion));
}

void PigeonApiWKUIDelegate::runJavaScriptTextInputPanel(
    const Object& pigeonInstance, const WebView& webView, const std::string& prompt,
    const std::optional<std::string>& defaultText, const Frame& frame,
    PigeonCompletion completion) {
  callDart("runJavaScriptTextInputPanel", pigeonInstance,
           {objectValue(webView), flutter::Value(prompt), valueOrNull(defaultText),
            objectValue(frame)},
           DartReturn::nullable, std::move(completion));
}

}  // namespace wkwebview_host
