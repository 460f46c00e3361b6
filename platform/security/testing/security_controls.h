// Test controls for the Security stand-in: where the keychain database lives, reopening it as
// a relaunched process would, statuses to answer instead of doing the work, the dictionaries
// each function was given, and whether the hardware key token is present.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/security/internal/security_state.h"
#include "platform/security/sec_base.h"

namespace security::testing {

using SecFunction = internal::SecFunction;
using RecordedCall = internal::RecordedCall;

// Keeps the keychain database in `directory` (nullopt: the application's data directory).
void setKeychainDirectory(std::optional<std::string> directory);
std::string keychainFilePath();
// Closes the database; the next call opens it again, as after a relaunch.
void closeKeychain();

// The call of `function` after `skip` further calls answers `status` without doing anything.
void failNextCall(SecFunction function, OSStatus status, int skip = 0);
// Keeps the dictionaries of every call from now on (off: forgets them and keeps none). Off in a
// process that no test controls; resetSecurityControls turns it on.
void setCallRecording(bool recording);
// The latest calls of `function`, oldest first.
std::vector<RecordedCall> recordedCalls(SecFunction function);
std::optional<RecordedCall> lastCall(SecFunction function);

void setHardwareTokenAvailable(bool available);

// Forgets recorded calls and pending statuses, makes the token available again and records
// calls from now on.
void resetSecurityControls();

}  // namespace security::testing
