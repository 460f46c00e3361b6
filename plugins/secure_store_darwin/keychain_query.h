// Turning query parameters into keychain dictionaries: the accessibility and access-control
// translations, the consistency rules, and the base query every operation starts from.
#pragma once

#include <optional>
#include <string>

#include "platform/security/sec_access_control.h"
#include "plugins/secure_store_darwin/keychain_query_parameters.h"
#include "plugins/secure_store_darwin/os_sec_error.h"

namespace secure_store_darwin {

// From 10.15 on the system has the data-protection keychain and hardware-held sealing keys.
bool isAtLeastCatalina();

// The accessibility constant for a level name; unknown or absent names give "when unlocked".
std::string accessibilityAttribute(const std::optional<std::string>& level);
// Flag names separated by commas, optionally within square brackets; unknown names are ignored.
SecAccessControlCreateFlags parseAccessControlFlags(const std::optional<std::string>& text);
// Null without flags or accessibility, or when the flags make no valid access control (which is
// printed).
SecAccessControlRef makeAccessControl(const KeychainQueryParameters& parameters);
std::optional<OSSecError> validateQuery(const KeychainQueryParameters& parameters);
// A failed validation is errSecParam, described as "Validation failed: " and the rule.
OSSecResult<CFDictionary> baseQuery(const KeychainQueryParameters& parameters);

}  // namespace secure_store_darwin
