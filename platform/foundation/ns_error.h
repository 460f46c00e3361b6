// Errors as Foundation reports them: a domain, a code, a localized description and reason, and
// the error they wrap.
#pragma once

#include <memory>
#include <optional>
#include <string>

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

struct NSError {
  std::string domain;
  long code = 0;
  std::string localizedDescription;
  std::optional<std::string> localizedFailureReason;
  // The user-info entry NSUnderlyingErrorKey: the lower-level error this one wraps.
  std::shared_ptr<const NSError> underlyingError;

  // The platform's text form: Error Domain=<domain> Code=<code> "<description>".
  std::string description() const;

  friend bool operator==(const NSError&, const NSError&) = default;
};
