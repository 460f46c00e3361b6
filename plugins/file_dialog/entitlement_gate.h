// The process's own sandbox entitlements, which decide whether a panel may be shown and where
// the panels open by default.
#pragma once

#include <optional>

#include "platform/flutter/flutter_codec.h"
#include "platform/foundation/ns_url.h"

namespace file_dialog {

enum class EntitlementMode {
  // The read-write entitlement must be true.
  requireWrite = 0,
  // The read-only or the read-write entitlement must be true.
  readOrWrite = 1,
};

// No error when the process has what `mode` needs; otherwise the error to answer.
std::optional<FlutterError> checkEntitlements(EntitlementMode mode);

// The home directory of a sandboxed process; none outside the sandbox.
std::optional<NSURL> sandboxHomeDirectory();

}  // namespace file_dialog
