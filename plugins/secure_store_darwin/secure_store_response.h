// The outcome of one keychain operation: a status (0 for success) and, for reads, a value.
#pragma once

#include "platform/flutter/value.h"
#include "platform/security/sec_base.h"

namespace secure_store_darwin {

struct SecureStoreResponse {
  OSStatus status = errSecSuccess;
  // A string, a map of strings, or null.
  flutter::Value value;
};

}  // namespace secure_store_darwin
