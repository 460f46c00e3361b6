#include "plugins/keychain_bridge/keychain_status.h"

#include <unordered_set>

#include "platform/security/cf_error.h"
#include "platform/security/sec_error_message.h"
#include "plugins/keychain_bridge/diagnostic_line.h"

namespace keychain_bridge {
namespace {

const std::unordered_set<OSStatus>& knownCodes() {
  static const auto* const known = [] {
    auto* codes = new std::unordered_set<OSStatus>();
    for (Status status : Status::allCases()) codes->insert(status.rawValue());
    return codes;
  }();
  return *known;
}

}  // namespace

std::optional<Status> Status::withRawValue(OSStatus rawValue) {
  if (!knownCodes().contains(rawValue)) return std::nullopt;
  return Status(static_cast<Code>(rawValue));
}

Status Status::withStatus(OSStatus status) {
  return withRawValue(status).value_or(unexpectedError);
}

const std::vector<Status>& Status::allCases() {
  // The system's codes in table order, then the library's own.
  static const auto* const cases = new std::vector<Status>{
#define SEC_RESULT_CODE(name, code, message) name,
#include "platform/security/sec_result_codes.inc"
#undef SEC_RESULT_CODE
      unexpectedError,
  };
  return *cases;
}

std::string Status::description() const {
  if (code_ == unexpectedError) return "Unexpected error has occurred.";
  return SecCopyErrorMessageString(code_).value_or("");
}

CFDictionary Status::errorUserInfo() const {
  return CFDictionary{{kCFErrorLocalizedDescriptionKey, description()}};
}

NSError Status::nsError() const { return NSError{errorDomain(), errorCode(), description()}; }

Status securityError(OSStatus status) {
  Status error = Status::withStatus(status);
  if (error == Status::userCanceled) return error;
  writeDiagnosticLine("OSStatus error:[" + std::to_string(error.errorCode()) + "] " +
                      error.description());
  return error;
}

}  // namespace keychain_bridge
