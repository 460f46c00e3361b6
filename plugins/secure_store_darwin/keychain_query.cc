#include "plugins/secure_store_darwin/keychain_query.h"

#include <map>
#include <string_view>

#include "platform/foundation/console_line.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/security/sec_item_constants.h"

namespace secure_store_darwin {
namespace {

std::string_view trim(std::string_view text, std::string_view characters) {
  size_t first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}

}  // namespace

bool isAtLeastCatalina() {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({10, 15, 0});
}

std::string accessibilityAttribute(const std::optional<std::string>& level) {
  static const auto* const kLevels = new std::map<std::string, std::string>{
      {"passcode", kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly},
      {"unlocked", kSecAttrAccessibleWhenUnlocked},
      {"unlocked_this_device", kSecAttrAccessibleWhenUnlockedThisDeviceOnly},
      {"first_unlock", kSecAttrAccessibleAfterFirstUnlock},
      {"first_unlock_this_device", kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly},
  };
  if (!level) return kSecAttrAccessibleWhenUnlocked;
  auto found = kLevels->find(*level);
  return found == kLevels->end() ? kSecAttrAccessibleWhenUnlocked : found->second;
}

SecAccessControlCreateFlags parseAccessControlFlags(const std::optional<std::string>& text) {
  static const auto* const kFlags = new std::map<std::string_view, SecAccessControlCreateFlags>{
      {"userPresence", kSecAccessControlUserPresence},
      {"biometryAny", kSecAccessControlBiometryAny},
      {"biometryCurrentSet", kSecAccessControlBiometryCurrentSet},
      {"devicePasscode", kSecAccessControlDevicePasscode},
      {"or", kSecAccessControlOr},
      {"and", kSecAccessControlAnd},
      {"privateKeyUsage", kSecAccessControlPrivateKeyUsage},
      {"applicationPassword", kSecAccessControlApplicationPassword},
  };
  SecAccessControlCreateFlags flags = 0;
  if (!text) return flags;
  std::string_view rest = *text;
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view piece = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    piece = trim(trim(piece, " \t\n\r\f\v"), "[]");
    auto found = kFlags->find(piece);
    if (found != kFlags->end()) flags |= found->second;
  }
  return flags;
}

SecAccessControlRef makeAccessControl(const KeychainQueryParameters& parameters) {
  if (!parameters.accessControlFlags || parameters.accessControlFlags->empty() ||
      !parameters.accessibilityLevel) {
    return nullptr;
  }
  CFErrorRef error;
  SecAccessControlRef access_control = SecAccessControlCreateWithFlags(
      accessibilityAttribute(parameters.accessibilityLevel),
      parseAccessControlFlags(parameters.accessControlFlags), &error);
  if (!access_control) {
    foundation::writeConsoleLine(
        foundation::ConsoleStream::standardOutput,
        "Error creating access control: " + std::string(CFErrorCopyDescription(error).c_str()));
  }
  return access_control;
}

std::optional<OSSecError> validateQuery(const KeychainQueryParameters& parameters) {
  // Several results cannot be answered as the single data value the caller expects.
  if (parameters.resultLimit && *parameters.resultLimit != 1 &&
      parameters.shouldReturnData == true) {
    return OSSecError{errSecParam,
                      "Cannot use kSecMatchLimitAll when expecting a single result with "
                      "kSecReturnData."};
  }
  if (parameters.isHidden == true && parameters.isPlaceholder == true) {
    return OSSecError{errSecParam,
                      "Cannot use both kSecAttrIsInvisible and kSecAttrIsNegative together."};
  }
  if (parameters.shouldReturnPersistentReference == true && parameters.shouldReturnData == true) {
    return OSSecError{errSecParam,
                      "Cannot use kSecReturnPersistentRef and kSecReturnData together."};
  }
  return std::nullopt;
}

OSSecResult<CFDictionary> baseQuery(const KeychainQueryParameters& parameters) {
  if (auto invalid = validateQuery(parameters)) {
    return OSSecError{errSecParam, "Validation failed: " + invalid->message.value_or("")};
  }
  CFDictionary query{{kSecClass, kSecClassGenericPassword}};
  auto addIfPresent = [&query](const std::string& key, const auto& field) {
    if (field) query.set(key, *field);
  };
  addIfPresent(kSecAttrAccount, parameters.key);
  addIfPresent(kSecAttrService, parameters.service);
  addIfPresent(kSecReturnData, parameters.shouldReturnData);
  addIfPresent(kSecAttrLabel, parameters.itemLabel);
  addIfPresent(kSecAttrDescription, parameters.itemDescription);
  addIfPresent(kSecAttrComment, parameters.itemComment);
  addIfPresent(kSecAttrIsInvisible, parameters.isHidden);
  addIfPresent(kSecAttrIsNegative, parameters.isPlaceholder);
  if (parameters.resultLimit) {
    query.set(kSecMatchLimit, *parameters.resultLimit == 1 ? kSecMatchLimitOne : kSecMatchLimitAll);
  }
  addIfPresent(kSecReturnPersistentRef, parameters.shouldReturnPersistentReference);
  addIfPresent(kSecUseAuthenticationUI, parameters.authenticationUIBehavior);
  if (parameters.authenticationContext) {
    query.set(kSecUseAuthenticationContext, parameters.authenticationContext);
  }

  KeychainQueryParameters adjusted = parameters;
  if (adjusted.sealed() && (!adjusted.accessControlFlags || adjusted.accessControlFlags->empty())) {
    adjusted.accessControlFlags = "userPresence";
  }
  if (SecAccessControlRef access_control = makeAccessControl(adjusted)) {
    query.set(kSecAttrAccessControl, access_control);
  } else {
    if (parameters.accessibilityLevel) {
      query.set(kSecAttrAccessible, accessibilityAttribute(parameters.accessibilityLevel));
    }
    if (parameters.isSynchronizable && !parameters.sealed()) {
      query.set(kSecAttrSynchronizable, *parameters.isSynchronizable);
    }
  }
  if (isAtLeastCatalina() && parameters.usesDataProtectionKeychain) {
    query.set(kSecUseDataProtectionKeychain, true);
  }
  return query;
}

}  // namespace secure_store_darwin
