#include "platform/security/sec_error_message.h"

#include <unordered_map>

std::optional<std::string> SecCopyErrorMessageString(OSStatus status) {
  static const auto* const kMessages = new std::unordered_map<OSStatus, std::string>{
#define SEC_RESULT_CODE(name, code, message) {code, message},
#include "platform/security/sec_result_codes.inc"
#undef SEC_RESULT_CODE
  };
  auto found = kMessages->find(status);
  if (found == kMessages->end()) return std::nullopt;
  return found->second;
}
