// Test controls for the process's own entitlements, as SecTask reads them.
#pragma once

#include <string>

#include "platform/security/cf_value.h"

namespace security::testing {

// Gives the process the entitlement with any value (true, false, or something not Boolean).
void setEntitlement(const std::string& key, CFValue value);
void removeEntitlement(const std::string& key);
// While set, SecTaskCreateFromSelf gives no task.
void failTaskCreation(bool fail);
// Back to what the main bundle declares, task creation working.
void resetTaskEntitlements();

}  // namespace security::testing
