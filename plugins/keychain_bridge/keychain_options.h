// Everything a keychain handle says: which items it addresses and how it writes and reads them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_url.h"
#include "platform/localauthentication/la_context.h"
#include "platform/security/cf_value.h"
#include "plugins/keychain_bridge/accessibility.h"
#include "plugins/keychain_bridge/authentication_policy.h"
#include "plugins/keychain_bridge/authentication_type.h"
#include "plugins/keychain_bridge/authentication_ui.h"
#include "plugins/keychain_bridge/item_class.h"
#include "plugins/keychain_bridge/protocol_type.h"

namespace keychain_bridge {

struct Options {
  ItemClass itemClass = ItemClass::genericPassword;
  std::string service;
  std::optional<std::string> accessGroup;
  std::optional<NSURL> server;
  std::optional<ProtocolType> protocolType;
  AuthenticationType authenticationType = AuthenticationType::default_;
  Accessibility accessibility = Accessibility::afterFirstUnlock;
  std::optional<AuthenticationPolicy> authenticationPolicy;
  bool synchronizable = false;
  std::optional<std::string> label;
  std::optional<std::string> comment;
  std::optional<std::string> authenticationPrompt;
  std::optional<AuthenticationUI> authenticationUI;
  std::shared_ptr<LAContext> authenticationContext;
  // Written last over every add or update, so they win over the fields above.
  CFDictionary attributes;
};

}  // namespace keychain_bridge
