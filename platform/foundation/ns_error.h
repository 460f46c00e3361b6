// Errors as Foundation reports them: a domain, a code, a localized description and reason, the
// error they wrap, and the user information they were made with.
//
// An error is an object of the runtime (it can be handed on, observed and told apart by identity)
// and also a value: the frameworks that answer errors by value copy it, and a copy is a new
// object with the same contents.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/any_value.h"
#include "platform/foundation/ns_object.h"

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";

class NSError final : public NSObject {
 public:
  NSError() = default;
  NSError(std::string domain, long code, std::string localizedDescription = {},
          std::optional<std::string> localizedFailureReason = std::nullopt,
          std::shared_ptr<const NSError> underlyingError = nullptr)
      : domain(std::move(domain)),
        code(code),
        localizedDescription(std::move(localizedDescription)),
        localizedFailureReason(std::move(localizedFailureReason)),
        underlyingError(std::move(underlyingError)) {}
  NSError(const NSError&) = default;
  NSError& operator=(const NSError&) = default;

  // An error described by its user information: the localized description is the entry
  // NSLocalizedDescriptionKey when it is text.
  static std::shared_ptr<NSError> errorWithDomain(std::string domain, long code,
                                                  AnyValue::Dictionary userInfo);

  // Every entry the error was made with, in order; empty for an error made from its fields.
  const AnyValue::Dictionary& userInfo() const { return user_info_; }

  // The platform's text form: Error Domain=<domain> Code=<code> "<description>".
  std::string description() const override;

  // Equal contents; identity is not compared.
  friend bool operator==(const NSError& a, const NSError& b);

  std::string domain;
  long code = 0;
  std::string localizedDescription;
  std::optional<std::string> localizedFailureReason;
  // The user-info entry NSUnderlyingErrorKey: the lower-level error this one wraps.
  std::shared_ptr<const NSError> underlyingError;

 private:
  AnyValue::Dictionary user_info_;
};
