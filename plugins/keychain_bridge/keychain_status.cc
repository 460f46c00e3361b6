#include "plugins/keychain_bridge/keychain_status.h"

#include <unordered_map>

#include "platform/security/cf_error.h"
#include "plugins/keychain_bridge/diagnostic_line.h"

namespace keychain_bridge {
namespace {

struct StatusRow {
  Status::Code code;
  std::string message;
};

const std::vector<StatusRow>& rows() {
  static const auto* const table = new std::vector<StatusRow>{
#define KEYCHAIN_STATUS(name, code, message) {Status::name, message},
#include "plugins/keychain_bridge/keychain_status_table.inc"
#undef KEYCHAIN_STATUS
  };
  return *table;
}

// Result code to its row.
const std::unordered_map<OSStatus, const StatusRow*>& rowsByCode() {
  static const auto* const index = [] {
    auto* map = new std::unordered_map<OSStatus, const StatusRow*>();
    for (const auto& row : rows()) map->emplace(row.code, &row);
    return map;
  }();
  return *index;
}

}  // namespace

std::optional<Status> Status::withRawValue(OSStatus rawValue) {
  auto found = rowsByCode().find(rawValue);
  if (found == rowsByCode().end()) return std::nullopt;
  return Status(found->second->code);
}

Status Status::withStatus(OSStatus status) {
  return withRawValue(status).value_or(unexpectedError);
}

const std::vector<Status>& Status::allCases() {
  static const auto* const cases = [] {
    auto* all = new std::vector<Status>();
    for (const auto& row : rows()) all->push_back(row.code);
    return all;
  }();
  return *cases;
}

const std::string& Status::description() const { return rowsByCode().at(code_)->message; }

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
