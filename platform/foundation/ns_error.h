// Errors as Foundation reports them: a domain, a code and a localized description.
#pragma once

#include <string>

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

struct NSError {
  std::string domain;
  long code = 0;
  std::string localizedDescription;

  // The platform's text form: Error Domain=<domain> Code=<code> "<description>".
  std::string description() const;

  friend bool operator==(const NSError&, const NSError&) = default;
};
