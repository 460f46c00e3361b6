#include "plugins/preferences_foundation/preferences_plugin.h"

#include <set>

#include "platform/foundation/ns_bundle.h"
#include "plugins/preferences_foundation/legacy_preferences_plugin.h"
#include "plugins/preferences_foundation/preferences_values.h"

namespace preferences_foundation {
namespace {

std::set<std::string> keySet(const flutter::ValueList& allowList) {
  std::set<std::string> keys;
  for (const auto& key : allowList) {
    if (const auto* text = key.asString()) keys.insert(*text);
  }
  return keys;
}

}  // namespace

std::variant<std::shared_ptr<NSUserDefaults>, FlutterError> defaultsForSuite(
    const std::optional<std::string>& suiteName) {
  auto defaults = NSUserDefaults::initWithSuiteName(suiteName);
  if (!defaults) {
    return FlutterError{"Argument Error",
                        "The provided Suite Name '" + suiteName.value_or("") + "' does not exist",
                        flutter::Value("")};
  }
  return defaults;
}

FlutterError unsupportedValueError(const std::string& key) {
  return FlutterError{"Argument Error",
                      "The value for '" + key + "' cannot be stored in the user defaults",
                      flutter::Value("")};
}

void PreferencesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  UserDefaultsApiSetup::setUpUserDefaultsApi(registrar.messenger(),
                                             std::make_shared<PreferencesPlugin>(), "");
  LegacyPreferencesPlugin::registerWithRegistrar(registrar);
}

ErrorOr<Void> PreferencesPlugin::set(const std::string& key, const flutter::Value& value,
                                     const PreferencesPigeonOptions& options) {
  auto defaults = defaultsForSuite(options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto stored = toPropertyList(value);
  if (!stored) return unsupportedValueError(key);
  std::get<0>(defaults)->setObject(*stored, key);
  return Void{};
}

ErrorOr<Void> PreferencesPlugin::clear(const std::optional<flutter::ValueList>& allowList,
                                       const PreferencesPigeonOptions& options) {
  auto defaults = defaultsForSuite(options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto& chosen = std::get<0>(defaults);
  if (allowList) {
    for (const auto& key : *allowList) chosen->removeObjectForKey(*key.asString());
  } else {
    for (const auto& [key, value] : chosen->dictionaryRepresentation()) {
      chosen->removeObjectForKey(key);
    }
  }
  return Void{};
}

ErrorOr<flutter::ValueMap> PreferencesPlugin::listing(
    const std::optional<flutter::ValueList>& allowList, const std::optional<std::string>& suiteName) {
  std::optional<std::string> domain_name =
      suiteName ? suiteName : NSBundle::mainBundle()->bundleIdentifier();
  if (!domain_name) return flutter::ValueMap{};
  auto defaults = defaultsForSuite(suiteName);
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto domain = std::get<0>(defaults)->persistentDomainForName(*domain_name);
  flutter::ValueMap result;
  if (!domain) return result;
  std::optional<std::set<std::string>> allowed;
  if (allowList) allowed = keySet(*allowList);
  for (const auto& [key, value] : *domain) {
    if (allowed && !allowed->contains(key)) continue;
    if (!isSupportedPrefValue(value)) continue;
    result.append(flutter::Value(key), fromPropertyList(value));
  }
  return result;
}

ErrorOr<flutter::ValueMap> PreferencesPlugin::getAll(
    const std::optional<flutter::ValueList>& allowList, const PreferencesPigeonOptions& options) {
  return listing(allowList, options.suiteName());
}

ErrorOr<flutter::Value> PreferencesPlugin::getValue(const std::string& key,
                                                    const PreferencesPigeonOptions& options) {
  auto defaults = defaultsForSuite(options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto value = std::get<0>(defaults)->objectForKey(key);
  if (!value || !isSupportedPrefValue(*value)) return flutter::Value();
  return fromPropertyList(*value);
}

ErrorOr<flutter::ValueList> PreferencesPlugin::getKeys(
    const std::optional<flutter::ValueList>& allowList, const PreferencesPigeonOptions& options) {
  auto entries = listing(allowList, options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&entries)) return *error;
  if (auto* error = std::get_if<PigeonError>(&entries)) return *error;
  flutter::ValueList keys;
  for (const auto& [key, value] : std::get<flutter::ValueMap>(entries)) keys.push_back(key);
  return keys;
}

}  // namespace preferences_foundation
