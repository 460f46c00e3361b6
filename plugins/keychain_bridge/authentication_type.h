// How an internet-password item's server authenticates. `default_` carries a trailing
// underscore because `default` is a keyword.
#pragma once

#include "plugins/keychain_bridge/raw_value_enumeration.h"

namespace keychain_bridge {

struct AuthenticationTypeCases {
  enum Case { ntlm, msn, dpa, rpa, httpBasic, httpDigest, htmlForm, default_ };
  static std::span<const RawValueRow> rows();
};

using AuthenticationType = RawValueEnumeration<AuthenticationTypeCases>;

}  // namespace keychain_bridge
