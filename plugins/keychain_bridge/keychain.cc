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
  return changed([&](Options& options) { options.accessibility = accessibility; });
}

Keychain Keychain::accessibility(Accessibility accessibility, AuthenticationPolicy policy) const {
  return changed([&](Options& options) {
    options.accessibility = accessibility;
    options.authenticationPolicy = policy;
  });
}

Keychain Keychain::synchronizable(bool synchronizable) const {
  return changed([&](Options& options) { options.synchronizable = synchronizable; });
}

Keychain Keychain::label(std::string label) const {
  return changed([&](Options& options) { options.label = std::move(label); });
}

Keychain Keychain::comment(std::string comment) const {
  return changed([&](Options& options) { options.comment = std::move(comment); });
}

Keychain Keychain::attributes(const CFDictionary& attributes) const {
  return changed([&](Options& options) {
    for (const auto& [key, value] : attributes) options.attributes.set(key, value);
  });
}

Keychain Keychain::authenticationPrompt(std::string prompt) const {
  return changed([&](Options& options) { options.authenticationPrompt = std::move(prompt); });
}

Keychain Keychain::authenticationUI(AuthenticationUI behaviour) const {
  return changed([&](Options& options) { options.authenticationUI = behaviour; });
}

Keychain Keychain::authenticationContext(std::shared_ptr<LAContext> context) const {
  return changed([&](Options& options) { options.authenticationContext = std::move(context); });
}

}  // namespace keychain_bridge
