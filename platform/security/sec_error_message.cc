#include "platform/security/sec_error_message.h"

#include <map>

std::optional<std::string> SecCopyErrorMessageString(OSStatus status) {
  static const auto* const kMessages = new std::map<OSStatus, std::string>{
      {errSecSuccess, "No error."},
      {errSecUnimplemented, "Function or operation not implemented."},
      {errSecIO, "I/O error."},
      {errSecParam, "One or more parameters passed to a function were not valid."},
      {errSecAllocate, "Failed to allocate memory."},
      {errSecUserCanceled, "User canceled the operation."},
      {errSecNotAvailable, "No keychain is available. You may need to restart your computer."},
      {errSecAuthFailed, "The user name or passphrase you entered is not correct."},
      {errSecDuplicateItem, "The specified item already exists in the keychain."},
      {errSecItemNotFound, "The specified item could not be found in the keychain."},
      {errSecNoSuchClass, "The specified item class does not exist."},
      {errSecInteractionNotAllowed, "User interaction is not allowed."},
      {errSecReadOnlyAttr, "The specified attribute could not be modified."},
      {errSecDecode, "Unable to decode the provided data."},
      {errSecMissingEntitlement, "A required entitlement isn't present."},
  };
  auto found = kMessages->find(status);
  if (found == kMessages->end()) return std::nullopt;
  return found->second;
}
