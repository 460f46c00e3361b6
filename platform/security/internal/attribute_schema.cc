#include "platform/security/internal/attribute_schema.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/security/sec_access_control.h"
#include "platform/security/sec_item_constants.h"

namespace security::internal {
namespace {

const std::map<std::string, AttributeKind>& kinds() {
  static const auto* const table = new std::map<std::string, AttributeKind>{
      {kSecAttrAccessible, AttributeKind::accessibility},
      {kSecAttrAccessControl, AttributeKind::accessControl},
      {kSecAttrAccessGroup, AttributeKind::string},
      {kSecAttrSynchronizable, AttributeKind::boolean},
      {kSecAttrCreationDate, AttributeKind::date},
      {kSecAttrModificationDate, AttributeKind::date},
      {kSecAttrDescription, AttributeKind::string},
      {kSecAttrComment, AttributeKind::string},
      {kSecAttrCreator, AttributeKind::stringOrInteger},
      {kSecAttrType, AttributeKind::stringOrInteger},
      {kSecAttrLabel, AttributeKind::string},
      {kSecAttrIsInvisible, AttributeKind::boolean},
      {kSecAttrIsNegative, AttributeKind::boolean},
      {kSecAttrAccount, AttributeKind::string},
      {kSecAttrService, AttributeKind::string},
      {kSecAttrGeneric, AttributeKind::data},
      {kSecAttrSecurityDomain, AttributeKind::string},
      {kSecAttrServer, AttributeKind::string},
      {kSecAttrProtocol, AttributeKind::protocol},
      {kSecAttrAuthenticationType, AttributeKind::authenticationType},
      {kSecAttrPort, AttributeKind::integer},
      {kSecAttrPath, AttributeKind::string},
      {kSecAttrKeyType, AttributeKind::keyType},
      {kSecAttrKeySizeInBits, AttributeKind::integer},
      {kSecAttrKeyClass, AttributeKind::keyClass},
      {kSecAttrApplicationTag, AttributeKind::data},
      {kSecAttrApplicationLabel, AttributeKind::data},
      {kSecAttrIsPermanent, AttributeKind::boolean},
      {kSecAttrTokenID, AttributeKind::tokenID},
  };
  return *table;
}

bool isOneOf(const std::string& value, std::initializer_list<const std::string*> values) {
  return std::any_of(values.begin(), values.end(),
                     [&](const std::string* candidate) { return *candidate == value; });
}

bool isProtocolValue(const std::string& value) {
  static const auto* const values = new std::set<std::string>{
      kSecAttrProtocolFTP,       kSecAttrProtocolFTPAccount, kSecAttrProtocolHTTP,
      kSecAttrProtocolIRC,       kSecAttrProtocolNNTP,       kSecAttrProtocolPOP3,
      kSecAttrProtocolSMTP,      kSecAttrProtocolSOCKS,      kSecAttrProtocolIMAP,
      kSecAttrProtocolLDAP,      kSecAttrProtocolAppleTalk,  kSecAttrProtocolAFP,
      kSecAttrProtocolTelnet,    kSecAttrProtocolSSH,        kSecAttrProtocolFTPS,
      kSecAttrProtocolHTTPS,     kSecAttrProtocolHTTPProxy,  kSecAttrProtocolHTTPSProxy,
      kSecAttrProtocolFTPProxy,  kSecAttrProtocolSMB,        kSecAttrProtocolRTSP,
      kSecAttrProtocolRTSPProxy, kSecAttrProtocolDAAP,       kSecAttrProtocolEPPC,
      kSecAttrProtocolIPP,       kSecAttrProtocolNNTPS,      kSecAttrProtocolLDAPS,
      kSecAttrProtocolTelnetS,   kSecAttrProtocolIMAPS,      kSecAttrProtocolIRCS,
      kSecAttrProtocolPOP3S};
  return values->contains(value);
}

bool isAuthenticationTypeValue(const std::string& value) {
  return isOneOf(value,
                 {&kSecAttrAuthenticationTypeNTLM, &kSecAttrAuthenticationTypeMSN,
                  &kSecAttrAuthenticationTypeDPA, &kSecAttrAuthenticationTypeRPA,
                  &kSecAttrAuthenticationTypeHTTPBasic, &kSecAttrAuthenticationTypeHTTPDigest,
                  &kSecAttrAuthenticationTypeHTMLForm, &kSecAttrAuthenticationTypeDefault});
}

std::optional<CFValue> stringFrom(const CFValue& value, bool (*isAllowed)(const std::string&)) {
  auto* text = value.asString();
  if (text == nullptr || (isAllowed != nullptr && !isAllowed(*text))) return std::nullopt;
  return value;
}

}  // namespace

std::optional<AttributeKind> attributeKind(const std::string& key) {
  auto found = kinds().find(key);
  if (found == kinds().end()) return std::nullopt;
  return found->second;
}

bool isReadOnlyAttribute(const std::string& key) {
  return key == kSecAttrCreationDate || key == kSecAttrModificationDate ||
         key == kSecAttrApplicationLabel;
}

bool isItemClass(const std::string& value) {
  return isOneOf(value, {&kSecClassGenericPassword, &kSecClassInternetPassword, &kSecClassKey});
}

bool isAccessibilityValue(const std::string& value) {
  return isOneOf(
      value,
      {&kSecAttrAccessibleWhenUnlocked, &kSecAttrAccessibleAfterFirstUnlock,
       &kSecAttrAccessibleAlways, &kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
       &kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
       &kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, &kSecAttrAccessibleAlwaysThisDeviceOnly});
}

std::optional<CFValue> normalizeAttribute(AttributeKind kind, const CFValue& value) {
  switch (kind) {
    case AttributeKind::string:
      return stringFrom(value, nullptr);
    case AttributeKind::data:
      if (value.asData() == nullptr) return std::nullopt;
      return value;
    case AttributeKind::boolean:
      if (auto flag = value.boolValue()) return CFValue(*flag);
      return std::nullopt;
    case AttributeKind::integer:
      if (auto number = value.integerValue()) return CFValue(*number);
      return std::nullopt;
    case AttributeKind::date:
      if (value.asDate() == nullptr) return std::nullopt;
      return value;
    case AttributeKind::stringOrInteger:
      if (value.asString() != nullptr) return value;
      if (auto number = value.integerValue()) return CFValue(*number);
      return std::nullopt;
    case AttributeKind::accessibility:
      return stringFrom(value, isAccessibilityValue);
    case AttributeKind::protocol:
      return stringFrom(value, isProtocolValue);
    case AttributeKind::authenticationType:
      return stringFrom(value, isAuthenticationTypeValue);
    case AttributeKind::keyType:
      return stringFrom(
          value, [](const std::string& text) { return text == kSecAttrKeyTypeECSECPrimeRandom; });
    case AttributeKind::keyClass:
      return stringFrom(value, [](const std::string& text) {
        return text == kSecAttrKeyClassPrivate || text == kSecAttrKeyClassPublic;
      });
    case AttributeKind::tokenID:
      return stringFrom(
          value, [](const std::string& text) { return text == kSecAttrTokenIDSecureEnclave; });
    case AttributeKind::accessControl:
      if (!value.asAccessControl()) return std::nullopt;
      return value;
  }
  return std::nullopt;
}

const std::vector<std::string>& identityAttributes(const std::string& itemClass) {
  static const auto* const generic =
      new std::vector<std::string>{kSecAttrAccount, kSecAttrService, kSecAttrAccessGroup};
  static const auto* const internet =
      new std::vector<std::string>{kSecAttrAccount,  kSecAttrAccessGroup,        kSecAttrServer,
                                   kSecAttrProtocol, kSecAttrAuthenticationType, kSecAttrPort,
                                   kSecAttrPath,     kSecAttrSecurityDomain};
  static const auto* const key =
      new std::vector<std::string>{kSecAttrAccessGroup, kSecAttrApplicationLabel,
                                   kSecAttrApplicationTag, kSecAttrKeyType, kSecAttrKeyClass};
  if (itemClass == kSecClassInternetPassword) return *internet;
  if (itemClass == kSecClassKey) return *key;
  return *generic;
}

}  // namespace security::internal
