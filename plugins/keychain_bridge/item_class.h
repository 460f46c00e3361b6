// The class of a keychain item.
#pragma once

#include "plugins/keychain_bridge/raw_value_enumeration.h"

namespace keychain_bridge {

struct ItemClassCases {
  enum Case { genericPassword, internetPassword };
  static std::span<const RawValueRow> rows();
};

using ItemClass = RawValueEnumeration<ItemClassCases>;

}  // namespace keychain_bridge
