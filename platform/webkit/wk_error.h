// WebKit's error domain and codes, and the URL-loading codes its navigations fail with.
#pragma once

#include <cstdint>

inline constexpr const char* WKErrorDomain = "WKErrorDomain";
inline constexpr const char* WKJavaScriptExceptionMessageErrorKey = "WKJavaScriptExceptionMessage";

enum WKErrorCode : int64_t {
  WKErrorUnknown = 1,
  WKErrorWebContentProcessTerminated = 2,
  WKErrorWebViewInvalidated = 3,
  WKErrorJavaScriptExceptionOccurred = 4,
  WKErrorJavaScriptResultTypeIsUnsupported = 5,
};

// The navigation was stopped by a policy decision (a cancelled response).
inline constexpr const char* WebKitErrorDomain = "WebKitErrorDomain";
inline constexpr int64_t WebKitErrorFrameLoadInterruptedByPolicyChange = 102;

namespace foundation {

inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";

enum NSURLErrorCode : int64_t {
  NSURLErrorCancelled = -999,
  NSURLErrorBadURL = -1000,
  NSURLErrorTimedOut = -1001,
  NSURLErrorUnsupportedURL = -1002,
  NSURLErrorCannotFindHost = -1003,
  NSURLErrorFileDoesNotExist = -1100,
  NSURLErrorFileIsDirectory = -1101,
  NSURLErrorNoPermissionsToReadFile = -1102,
  NSURLErrorDataLengthExceedsMaximum = -1103,
};

}  // namespace foundation
