// WebKit's error domain and codes, and the URL-loading codes its navigations fail with.
#pragma once

#include <cstdint>

#include "platform/foundation/ns_url_error.h"

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
