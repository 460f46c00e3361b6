#include "platform/webkit/internal/web_kit_errors.h"

#include <cstring>

#include "platform/webkit/wk_error.h"

namespace webkit {

using foundation::AnyValue;
using foundation::makeObject;
using foundation::NSError;

std::shared_ptr<NSError> javaScriptExceptionError(const std::string& message) {
  return makeObject<NSError>(
      WKErrorDomain, WKErrorJavaScriptExceptionOccurred,
      AnyValue::Dictionary{
          {foundation::NSLocalizedDescriptionKey, AnyValue("A JavaScript exception occurred")},
          {WKJavaScriptExceptionMessageErrorKey, AnyValue(message)}});
}

std::shared_ptr<NSError> javaScriptResultTypeIsUnsupportedError() {
  return makeObject<NSError>(
      WKErrorDomain, WKErrorJavaScriptResultTypeIsUnsupported,
      AnyValue::Dictionary{{foundation::NSLocalizedDescriptionKey,
                            AnyValue("JavaScript execution returned a result of an unsupported "
                                     "type")}});
}

std::shared_ptr<NSError> urlLoadingError(int64_t code, const std::string& description,
                                         const std::string& url) {
  return makeObject<NSError>(
      foundation::NSURLErrorDomain, code,
      AnyValue::Dictionary{{foundation::NSLocalizedDescriptionKey, AnyValue(description)},
                           {foundation::NSURLErrorFailingURLStringErrorKey, AnyValue(url)}});
}

std::shared_ptr<NSError> frameLoadInterruptedError(const std::string& url) {
  return makeObject<NSError>(
      WebKitErrorDomain, WebKitErrorFrameLoadInterruptedByPolicyChange,
      AnyValue::Dictionary{
          {foundation::NSLocalizedDescriptionKey, AnyValue("Frame load interrupted")},
          {foundation::NSURLErrorFailingURLStringErrorKey, AnyValue(url)}});
}

std::shared_ptr<NSError> posixError(int code) {
  return makeObject<NSError>(
      "NSPOSIXErrorDomain", code,
      AnyValue::Dictionary{{foundation::NSLocalizedDescriptionKey, AnyValue(std::strerror(code))}});
}

std::shared_ptr<NSError> webContentProcessTerminatedError() {
  return makeObject<NSError>(
      WKErrorDomain, WKErrorWebContentProcessTerminated,
      AnyValue::Dictionary{{foundation::NSLocalizedDescriptionKey,
                            AnyValue("The Web Content process was terminated")}});
}

namespace {

const std::string* stringIn(const AnyValue::Dictionary& info, const char* key) {
  for (const auto& [name, value] : info) {
    if (name == key) return value.getIf<std::string>();
  }
  return nullptr;
}

}  // namespace

std::string describeError(const NSError& error) {
  std::string text = "Error Domain=" + error.domain() + " Code=" + std::to_string(error.code());
  if (auto message = stringIn(error.userInfo(), foundation::NSLocalizedDescriptionKey)) {
    text += " \"" + *message + "\"";
  }
  if (auto exception = stringIn(error.userInfo(), WKJavaScriptExceptionMessageErrorKey)) {
    text += " (" + *exception + ")";
  }
  return text;
}

}  // namespace webkit
