// Making handles: the initialisers and the setters.
#include "plugins/keychain_bridge/keychain.h"

#include "platform/foundation/ns_bundle.h"

namespace keychain_bridge {
namespace {

std::string mainBundleIdentifier() {
  auto bundle = NSBundle::mainBundle();
  return bundle ? bundle->bundleIdentifier().value_or("") : "";
}

}  // namespace

Keychain::Keychain() { options_.service = mainBundleIdentifier(); }

Keychain Keychain::withService(std::string service) {
  Options options;
  options.service = std::move(service);
  return Keychain(std::move(options));
}

Keychain Keychain::withAccessGroup(std::string accessGroup) {
  Options options;
  options.service = mainBundleIdentifier();
  options.accessGroup = std::move(accessGroup);
  return Keychain(std::move(options));
}

Keychain Keychain::withService(std::string service, std::string accessGroup) {
  Options options;
  options.service = std::move(service);
  options.accessGroup = std::move(accessGroup);
  return Keychain(std::move(options));
}

std::optional<Keychain> Keychain::withServer(const std::string& server, ProtocolType protocolType,
                                             std::optional<std::string> accessGroup,
                                             AuthenticationType authenticationType) {
  auto url = NSURL::URLWithString(server);
  if (!url) return std::nullopt;
  return withServer(std::move(*url), protocolType, std::move(accessGroup), authenticationType);
}

Keychain Keychain::withServer(NSURL server, ProtocolType protocolType,
                              std::optional<std::string> accessGroup,
                              AuthenticationType authenticationType) {
  Options options;
  options.itemClass = ItemClass::internetPassword;
  options.server = std::move(server);
  options.protocolType = protocolType;
  options.accessGroup = std::move(accessGroup);
  options.authenticationType = authenticationType;
  return Keychain(std::move(options));
}

Keychain Keychain::accessibility(Accessibility accessibility) const {
  Options options = options_;
  options.accessibility = accessibility;
  return Keychain(std::move(options));
}

Keychain Keychain::accessibility(Accessibility accessibility, AuthenticationPolicy policy) const {
  Options options = options_;
  options.accessibility = accessibility;
  options.authenticationPolicy = policy;
  return Keychain(std::move(options));
}

Keychain Keychain::synchronizable(bool synchronizable) const {
  Options options = options_;
  options.synchronizable = synchronizable;
  return Keychain(std::move(options));
}

Keychain Keychain::label(std::string label) const {
  Options options = options_;
  options.label = std::move(label);
  return Keychain(std::move(options));
}

Keychain Keychain::comment(std::string comment) const {
  Options options = options_;
  options.comment = std::move(comment);
  return Keychain(std::move(options));
}

Keychain Keychain::attributes(const CFDictionary& attributes) const {
  Options options = options_;
  for (const auto& [key, value] : attributes) options.attributes.set(key, value);
  return Keychain(std::move(options));
}

Keychain Keychain::authenticationPrompt(std::string prompt) const {
  Options options = options_;
  options.authenticationPrompt = std::move(prompt);
  return Keychain(std::move(options));
}

Keychain Keychain::authenticationUI(AuthenticationUI behaviour) const {
  Options options = options_;
  options.authenticationUI = behaviour;
  return Keychain(std::move(options));
}

Keychain Keychain::authenticationContext(std::shared_ptr<LAContext> context) const {
  Options options = options_;
  options.authenticationContext = std::move(context);
  return Keychain(std::move(options));
}

}  // namespace keychain_bridge
