// Human-readable messages for Security result codes.
#pragma once

#include <optional>
#include <string>

#include "platform/security/sec_base.h"

// The message for a result code the system knows; nullopt for any other code.
std::optional<std::string> SecCopyErrorMessageString(OSStatus status);
