#include "platform/webkit/internal/web_kit_errors.h"

#include <cstring>

#include "platform/webkit/wk_error.h"

namespace webkit {

std::shared_ptr<NSError> javaScriptExceptionError(const std::string& message) {
  return NSError::errorWithDomain(
      WKErrorDomain, WKErrorJavaScriptExceptionOccurred,
      AnyValue::Dictionary{
          {NSLocalizedDescriptionKey, AnyValue("A JavaScript exception occurred")},
          {WKJavaScriptExceptionMessageErrorKey, AnyValue(message)}});
}

std::shared_ptr<NSError> javaScriptResultTypeIsUnsupportedError() {
  return NSError::errorWithDomain(
      WKErrorDomain, WKErrorJavaScriptResultTypeIsUnsupported,
      AnyValue::Dictionary{{NSLocalizedDescriptionKey,
                            AnyValue("JavaScript execution returned a result of an unsupported "
                                     "type")}});
}

std::shared_ptr<NSError> urlLoadingError(int64_t code, const std::string& description,
                                         const std::string& url) {
  return NSError::errorWithDomain(
      NSURLErrorDomain, code,
      AnyValue::Dictionary{{NSLocalizedDescriptionKey, AnyValue(description)},
                           {NSURLErrorFailingURLStringErrorKey, AnyValue(url)}});
}

std::shared_ptr<NSError> frameLoadInterruptedError(const std::string& url) {
  return NSError::errorWithDomain(
      WebKitErrorDomain, WebKitErrorFrameLoadInterruptedByPolicyChange,
      AnyValue::Dictionary{
          {NSLocalizedDescriptionKey, AnyValue("Frame load interrupted")},
          {NSURLErrorFailingURLStringErrorKey, AnyValue(url)}});
}

std::shared_ptr<NSError> posixError(int code) {
  return NSError::errorWithDomain(
      "NSPOSIXErrorDomain", code,
      AnyValue::Dictionary{{NSLocalizedDescriptionKey, AnyValue(std::strerror(code))}});
}

std::shared_ptr<NSError> webContentProcessTerminatedError() {
  return NSError::errorWithDomain(
      WKErrorDomain, WKErrorWebContentProcessTerminated,
      AnyValue::Dictionary{{NSLocalizedDescriptionKey,
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
  std::string text = "Error Domain=" + error.domain + " Code=" + std::to_string(error.code);
  if (auto message = stringIn(error.userInfo(), NSLocalizedDescriptionKey)) {
    text += " \"" + *message + "\"";
  }
  if (auto exception = stringIn(error.userInfo(), WKJavaScriptExceptionMessageErrorKey)) {
    text += " (" + *exception + ")";
  }
  return text;
}

}  // namespace webkit
