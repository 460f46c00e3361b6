// The errors that the web view's script evaluation and navigations report.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/ns_error.h"

namespace webkit {

std::shared_ptr<NSError> javaScriptExceptionError(const std::string& message);
std::shared_ptr<NSError> javaScriptResultTypeIsUnsupportedError();
// A URL-loading error about `url`.
std::shared_ptr<NSError> urlLoadingError(int64_t code, const std::string& description,
                                                     const std::string& url);
std::shared_ptr<NSError> frameLoadInterruptedError(const std::string& url);
// A system call's failure, `code` its errno, described as the system describes it.
std::shared_ptr<NSError> posixError(int code);
// What fails the scripts and the navigation a page's ended content process leaves behind.
std::shared_ptr<NSError> webContentProcessTerminatedError();

// Domain, code and message (and a script exception's own text), as a log line shows them.
std::string describeError(const NSError& error);

}  // namespace webkit
