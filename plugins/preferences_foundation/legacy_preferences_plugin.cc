#include "plugins/preferences_foundation/legacy_preferences_plugin.h"

#include "platform/foundation/ns_user_defaults.h"
#include "plugins/preferences_foundation/preferences_plugin.h"
#include "plugins/preferences_foundation/preferences_values.h"

namespace preferences_foundation {

void LegacyPreferencesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  LegacyUserDefaultsApiSetup::setUpLegacyUserDefaultsApi(
      registrar.messenger(), std::make_shared<LegacyPreferencesPlugin>(), "");
}

ErrorOr<Void> LegacyPreferencesPlugin::remove(const std::string& key) {
  NSUserDefaults::standardUserDefaults()->removeObjectForKey(key);
  return Void{};
}

ErrorOr<Void> LegacyPreferencesPlugin::setBool(const std::string& key, bool value) {
  NSUserDefaults::standardUserDefaults()->setBool(value, key);
  return Void{};
}

ErrorOr<Void> LegacyPreferencesPlugin::setDouble(const std::string& key, double value) {
  NSUserDefaults::standardUserDefaults()->setDouble(value, key);
  return Void{};
}

ErrorOr<Void> LegacyPreferencesPlugin::setValue(const std::string& key,
                                                const flutter::Value& value) {
  auto stored = toPropertyList(value);
  if (!stored) return unsupportedValueError(key);
  NSUserDefaults::standardUserDefaults()->setObject(*stored, key);
  return Void{};
}

ErrorOr<flutter::ValueMap> LegacyPreferencesPlugin::getAll(
    const std::string& prefix, const std::optional<flutter::ValueList>& allowList) {
  auto entries = PreferencesPlugin::listing(allowList, std::nullopt);
  auto* all = std::get_if<flutter::ValueMap>(&entries);
  flutter::ValueMap result;
  if (all == nullptr) return result;
  for (const auto& [key, value] : *all) {
    if (key.asString()->starts_with(prefix)) result.append(key, value);
  }
  return result;
}

ErrorOr<bool> LegacyPreferencesPlugin::clear(const std::string& prefix,
                                             const std::optional<flutter::ValueList>& allowList) {
  auto entries = getAll(prefix, allowList);
  auto defaults = NSUserDefaults::standardUserDefaults();
  for (const auto& [key, value] : std::get<flutter::ValueMap>(entries)) {
    defaults->removeObjectForKey(*key.asString());
  }
  return true;
}

}  // namespace preferences_foundation
