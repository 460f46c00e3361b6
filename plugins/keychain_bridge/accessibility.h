// When an item may be read.
#pragma once

#include "plugins/keychain_bridge/raw_value_enumeration.h"

namespace keychain_bridge {

struct AccessibilityCases {
  enum Case {
    whenUnlocked,
    afterFirstUnlock,
    always,
    whenPasscodeSetThisDeviceOnly,
    whenUnlockedThisDeviceOnly,
    afterFirstUnlockThisDeviceOnly,
    alwaysThisDeviceOnly,
  };
  static std::span<const RawValueRow> rows();
};

using Accessibility = RawValueEnumeration<AccessibilityCases>;

}  // namespace keychain_bridge
