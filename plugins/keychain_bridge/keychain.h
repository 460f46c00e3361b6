// A keychain handle: which items an operation addresses (class, service or server, access
// group) and how items are written and read (accessibility, policy, synchronization, label,
// comment, authentication prompt and behaviour, extra attributes). Handles are immutable values;
// each setter answers a new handle. Operations are synchronous on the caller's thread, and every
// failing keychain call writes its diagnostic line (see securityError).
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "plugins/keychain_bridge/attributes.h"
#include "plugins/keychain_bridge/keychain_options.h"
#include "plugins/keychain_bridge/keychain_result.h"

namespace keychain_bridge {

class Keychain {
 public:
  // A generic-password handle for the main bundle's identifier ("" without one).
  Keychain();
  static Keychain withService(std::string service);
  static Keychain withAccessGroup(std::string accessGroup);
  static Keychain withService(std::string service, std::string accessGroup);
  // An internet-password handle; nullopt when `server` is not a URL.
  static std::optional<Keychain> withServer(
      const std::string& server, ProtocolType protocolType,
      std::optional<std::string> accessGroup = std::nullopt,
      AuthenticationType authenticationType = AuthenticationType::default_);
  static Keychain withServer(NSURL server, ProtocolType protocolType,
                             std::optional<std::string> accessGroup = std::nullopt,
                             AuthenticationType authenticationType = AuthenticationType::default_);

  const Options& options() const { return options_; }
  ItemClass itemClass() const { return options_.itemClass; }
  const std::string& service() const { return options_.service; }
  const std::optional<std::string>& accessGroup() const { return options_.accessGroup; }
  // None on a generic-password handle.
  const std::optional<NSURL>& server() const { return options_.server; }
  std::optional<ProtocolType> protocolType() const { return options_.protocolType; }
  AuthenticationType authenticationType() const { return options_.authenticationType; }
  Accessibility accessibility() const { return options_.accessibility; }
  std::optional<AuthenticationPolicy> authenticationPolicy() const {
    return options_.authenticationPolicy;
  }
  bool synchronizable() const { return options_.synchronizable; }
  const std::optional<std::string>& label() const { return options_.label; }
  const std::optional<std::string>& comment() const { return options_.comment; }
  const std::optional<std::string>& authenticationPrompt() const {
    return options_.authenticationPrompt;
  }
  // `allow` when none was set.
  AuthenticationUI authenticationUI() const {
    return options_.authenticationUI.value_or(AuthenticationUI::allow);
  }
  const std::shared_ptr<LAContext>& authenticationContext() const {
    return options_.authenticationContext;
  }

  // Setters: a new handle with one option changed.
  Keychain accessibility(Accessibility accessibility) const;
  Keychain accessibility(Accessibility accessibility, AuthenticationPolicy policy) const;
  Keychain synchronizable(bool synchronizable) const;
  Keychain label(std::string label) const;
  Keychain comment(std::string comment) const;
  // Each entry replaces an entry of the same key; other entries stay.
  Keychain attributes(const CFDictionary& attributes) const;
  Keychain authenticationPrompt(std::string prompt) const;
  Keychain authenticationUI(AuthenticationUI behaviour) const;
  Keychain authenticationContext(std::shared_ptr<LAContext> context) const;

  // Item operations. `ignoringAttributeSynchronizable` addresses synchronized and
  // unsynchronized items alike; without it only those matching the handle's flag.
  Result<std::optional<std::string>> get(const std::string& key,
                                         bool ignoringAttributeSynchronizable = true) const;
  // Text that is not UTF-8 fails with conversionError.
  Result<std::optional<std::string>> getString(const std::string& key,
                                               bool ignoringAttributeSynchronizable = true) const;
  Result<std::optional<CFBytes>> getData(const std::string& key,
                                         bool ignoringAttributeSynchronizable = true) const;
  // The handler's answer for the item's attributes (none when there is no item). The handler
  // takes std::optional<Attributes> and answers a Result.
  template <typename Handler>
  auto get(const std::string& key, bool ignoringAttributeSynchronizable, Handler handler) const
      -> std::invoke_result_t<Handler, std::optional<Attributes>>;
  // Adds the item, or updates it when it exists (even behind an authentication it may not ask
  // for): the lookup and the write it decides on are one keychain transaction, also for another
  // host on the same keychain.
  Result<void> set(const std::string& value, const std::string& key,
                   bool ignoringAttributeSynchronizable = true) const;
  Result<void> set(const CFBytes& value, const std::string& key,
                   bool ignoringAttributeSynchronizable = true) const;
  // Removing a missing item succeeds.
  Result<void> remove(const std::string& key, bool ignoringAttributeSynchronizable = true) const;
  Result<void> removeAll() const;
  // An item that exists but would need the user counts as `withoutAuthenticationUI`.
  Result<bool> contains(const std::string& key, bool withoutAuthenticationUI = false) const;

  // Subscripts: reads give none on any failure; writing none removes the item; write failures
  // are dropped.
  class StringSubscript {
   public:
    std::optional<std::string> value() const;
    operator std::optional<std::string>() const { return value(); }
    StringSubscript& operator=(const std::optional<std::string>& value);

   private:
    friend class Keychain;
    StringSubscript(const Keychain& keychain, std::string key)
        : keychain_(keychain), key_(std::move(key)) {}
    const Keychain& keychain_;
    std::string key_;
  };
  class DataSubscript {
   public:
    std::optional<CFBytes> value() const;
    operator std::optional<CFBytes>() const { return value(); }
    DataSubscript& operator=(const std::optional<CFBytes>& value);

   private:
    friend class Keychain;
    DataSubscript(const Keychain& keychain, std::string key)
        : keychain_(keychain), key_(std::move(key)) {}
    const Keychain& keychain_;
    std::string key_;
  };
  StringSubscript operator[](std::string key) const {
    return StringSubscript(*this, std::move(key));
  }
  DataSubscript dataSubscript(std::string key) const {
    return DataSubscript(*this, std::move(key));
  }
  std::optional<Attributes> attributesSubscript(const std::string& key) const;

  // Listings never fail: a failing search writes its line and lists nothing.
  std::vector<std::string> allKeys() const;
  std::vector<CFDictionary> allItems() const;
  // (service or server, account) of every item of the class; "" for a missing entry.
  static std::vector<std::pair<std::string, std::string>> allKeys(ItemClass itemClass);
  static std::vector<CFDictionary> allItems(ItemClass itemClass);
  // "[]", or "[", one line per display item (two spaces, then the item), "]".
  std::string description() const;
  std::string debugDescription() const;

 private:
  explicit Keychain(Options options) : options_(std::move(options)) {}
  // A new handle with a copy of these options as `change` leaves them; this one is untouched.
  template <typename Change>
  Keychain changed(Change change) const {
    Options options = options_;
    change(options);
    return Keychain(std::move(options));
  }

  CFDictionary itemQuery(bool ignoringAttributeSynchronizable) const;
  // set's steps, within the transaction it holds.
  Result<void> setNow(const CFBytes& value, const std::string& key,
                      bool ignoringAttributeSynchronizable) const;
  // The attributes of an add (with a key) or an update (without), and the error met making the
  // access control, if any.
  std::pair<CFDictionary, std::optional<KeychainError>> itemAttributes(
      const std::optional<std::string>& key, const CFBytes& value) const;
  Result<std::optional<Attributes>> readAttributes(const std::string& key,
                                                   bool ignoringAttributeSynchronizable) const;
  std::vector<CFDictionary> listItems() const;
  static std::vector<CFDictionary> prettifyItems(ItemClass itemClass,
                                                 const std::vector<CFDictionary>& items);

  Options options_;
};

template <typename Handler>
auto Keychain::get(const std::string& key, bool ignoringAttributeSynchronizable,
                   Handler handler) const
    -> std::invoke_result_t<Handler, std::optional<Attributes>> {
  auto attributes = readAttributes(key, ignoringAttributeSynchronizable);
  if (!attributes.ok()) return attributes.error();
  return handler(attributes.value());
}

}  // namespace keychain_bridge
