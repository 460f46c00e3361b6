#include "plugins/file_dialog/entitlement_gate.h"

#include <string>

#include "platform/foundation/ns_path_utilities.h"
#include "platform/security/sec_task.h"

namespace file_dialog {
namespace {

const std::string kReadOnlyEntitlement = "com.apple.security.files.user-selected.read-only";
const std::string kReadWriteEntitlement = "com.apple.security.files.user-selected.read-write";
const std::string kSandboxEntitlement = "com.apple.security.app-sandbox";

// Only a Boolean true grants; false, absent and values of another type do not.
bool isTrue(const SecTaskRef& task, const std::string& entitlement) {
  CFValue value = SecTaskCopyValueForEntitlement(task, entitlement, nullptr);
  const bool* flag = value.getIf<bool>();
  return flag != nullptr && *flag;
}

FlutterError gateError(const char* code, const char* message) {
  return FlutterError{code, message, nullptr};
}

}  // namespace

std::optional<FlutterError> checkEntitlements(EntitlementMode mode) {
  SecTaskRef task = SecTaskCreateFromSelf();
  if (!task) {
    return gateError("ENTITLEMENT_CHECK_FAILED", "Failed to verify file_dialog entitlements.");
  }
  bool readWrite = isTrue(task, kReadWriteEntitlement);
  bool readOnly = isTrue(task, kReadOnlyEntitlement);
  if (mode == EntitlementMode::requireWrite) {
    if (readWrite) return std::nullopt;
    return gateError("ENTITLEMENT_REQUIRED_WRITE",
                     "The Read-Write entitlement is required for this action.");
  }
  if (readWrite || readOnly) return std::nullopt;
  return gateError("ENTITLEMENT_NOT_FOUND",
                   "Either the Read-Only or Read-Write entitlement is required for this action.");
}

std::optional<NSURL> sandboxHomeDirectory() {
  SecTaskRef task = SecTaskCreateFromSelf();
  if (!task || !isTrue(task, kSandboxEntitlement)) return std::nullopt;
  return NSURL::fileURLWithPath(NSHomeDirectory(), true);
}

}  // namespace file_dialog
