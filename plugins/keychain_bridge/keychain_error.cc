#include "plugins/keychain_bridge/keychain_error.h"

namespace keychain_bridge {

std::optional<Status> KeychainError::status() const {
  if (auto* status = std::get_if<Status>(&error_)) return *status;
  return std::nullopt;
}

std::string KeychainError::localizedDescription() const {
  if (auto* status = std::get_if<Status>(&error_)) return status->description();
  return std::get<NSError>(error_).localizedDescription;
}

NSError KeychainError::nsError() const {
  if (auto* status = std::get_if<Status>(&error_)) return status->nsError();
  return std::get<NSError>(error_);
}

NSError errorFromCFError(const CFErrorRef& error) {
  return NSError{CFErrorGetDomain(error), static_cast<long>(CFErrorGetCode(error)),
                 CFErrorCopyDescription(error)};
}

}  // namespace keychain_bridge
