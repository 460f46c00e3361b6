// Listings of the items a handle addresses, or of every item of a class, and the handle's
// descriptions.
#include "platform/foundation/utf8.h"
#include "platform/security/sec_item.h"
#include "platform/security/sec_item_constants.h"
#include "plugins/keychain_bridge/keychain.h"

namespace keychain_bridge {
namespace {

// The word a false "synchronizable" is shown as.
constexpr const char* kNotSynchronized = "false";

// The raw items a search answered; a failed search writes its line and gives none.
std::vector<CFDictionary> searchItems(const CFDictionary& query) {
  CFValue result;
  OSStatus status = SecItemCopyMatching(query, &result);
  if (status == errSecItemNotFound) return {};
  std::vector<CFDictionary> items;
  bool well_formed = status == errSecSuccess && result.asArray() != nullptr;
  if (well_formed) {
    for (const CFValue& item : *result.asArray()) {
      if (item.asDictionary() == nullptr) {
        well_formed = false;
        break;
      }
      items.push_back(*item.asDictionary());
    }
  }
  if (!well_formed) {
    securityError(status);
    return {};
  }
  return items;
}

const std::string* stringEntry(const CFDictionary& item, const std::string& key) {
  const CFValue* value = item.find(key);
  return value != nullptr ? value->asString() : nullptr;
}

std::string entryOrEmpty(const CFDictionary& item, const std::string& key) {
  const std::string* text = stringEntry(item, key);
  return text != nullptr ? *text : "";
}

}  // namespace

std::vector<CFDictionary> Keychain::listItems() const {
  CFDictionary query = itemQuery(true);
  query.set(kSecMatchLimit, kSecMatchLimitAll);
  query.set(kSecReturnAttributes, true);
  return searchItems(query);
}

std::vector<CFDictionary> Keychain::prettifyItems(ItemClass itemClass,
                                                  const std::vector<CFDictionary>& items) {
  std::vector<CFDictionary> display;
  for (const CFDictionary& item : items) {
    CFDictionary entry{{"class", itemClass.description()}};
    if (auto* group = stringEntry(item, kSecAttrAccessGroup)) entry.set("accessGroup", *group);
    if (itemClass == ItemClass::genericPassword) {
      if (auto* service = stringEntry(item, kSecAttrService)) entry.set("service", *service);
    } else {
      if (auto* server = stringEntry(item, kSecAttrServer)) entry.set("server", *server);
      if (auto* protocol = stringEntry(item, kSecAttrProtocol)) {
        if (auto type = ProtocolType::withRawValue(*protocol))
          entry.set("protocol", type->description());
      }
      if (auto* authentication = stringEntry(item, kSecAttrAuthenticationType)) {
        if (auto type = AuthenticationType::withRawValue(*authentication)) {
          entry.set("authenticationType", type->description());
        }
      }
    }
    if (auto* account = stringEntry(item, kSecAttrAccount)) entry.set("key", *account);
    if (const CFValue* data = item.find(kSecValueData);
        data != nullptr && data->asData() != nullptr) {
      std::string text(data->asData()->begin(), data->asData()->end());
      entry.set("value", foundation::isValidUtf8(text) ? CFValue(std::move(text)) : *data);
    }
    if (auto* accessible = stringEntry(item, kSecAttrAccessible)) {
      if (auto level = Accessibility::withRawValue(*accessible)) {
        entry.set("accessibility", level->description());
      }
    }
    if (const CFValue* flag = item.find(kSecAttrSynchronizable);
        flag != nullptr && flag->is<bool>()) {
      entry.set("synchronizable", *flag->getIf<bool>() ? "true" : kNotSynchronized);
    }
    display.push_back(std::move(entry));
  }
  return display;
}

std::vector<std::string> Keychain::allKeys() const {
  std::vector<std::string> keys;
  for (const CFDictionary& item : prettifyItems(options_.itemClass, listItems())) {
    if (auto* key = stringEntry(item, "key")) keys.push_back(*key);
  }
  return keys;
}

std::vector<CFDictionary> Keychain::allItems() const {
  return prettifyItems(options_.itemClass, listItems());
}

std::vector<std::pair<std::string, std::string>> Keychain::allKeys(ItemClass itemClass) {
  CFDictionary query{{kSecClass, itemClass.rawValue()},
                     {kSecMatchLimit, kSecMatchLimitAll},
                     {kSecReturnAttributes, true},
                     {kSecAttrSynchronizable, kSecAttrSynchronizableAny}};
  const char* place = itemClass == ItemClass::genericPassword ? "service" : "server";
  std::vector<std::pair<std::string, std::string>> keys;
  for (const CFDictionary& item : prettifyItems(itemClass, searchItems(query))) {
    keys.emplace_back(entryOrEmpty(item, place), entryOrEmpty(item, "key"));
  }
  return keys;
}

std::vector<CFDictionary> Keychain::allItems(ItemClass itemClass) {
  CFDictionary query{{kSecClass, itemClass.rawValue()},
                     {kSecMatchLimit, kSecMatchLimitAll},
                     {kSecReturnAttributes, true}};
  return prettifyItems(itemClass, searchItems(query));
}

std::string Keychain::description() const {
  auto items = allItems();
  if (items.empty()) return "[]";
  std::string text = "[\n";
  for (const CFDictionary& item : items) text += "  " + CFCopyDescription(item) + "\n";
  return text + "]";
}

std::string Keychain::debugDescription() const {
  CFArray items;
  for (CFDictionary& item : listItems()) items.emplace_back(std::move(item));
  return CFCopyDescription(items);
}

}  // namespace keychain_bridge
