#include "plugins/preferences_foundation/legacy_preferences_plugin.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/ns_user_defaults.h"
#include "plugins/preferences_foundation/preferences_plugin.h"
#include "plugins/preferences_foundation/preferences_values.h"

namespace preferences_foundation {

void LegacyPreferencesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  LegacyUserDefaultsApiSetup::setUpLegacyUserDefaultsApi(
      registrar.messenger(), std::make_shared<LegacyPreferencesPlugin>(), "",
      makePreferencesWorkQueue());
}

ErrorOr<Void> LegacyPreferencesPlugin::remove(const std::string& key) {
  return written(NSUserDefaults::standardUserDefaults()->removeObjectForKey(key));
}

ErrorOr<Void> LegacyPreferencesPlugin::setBool(const std::string& key, bool value) {
  return written(NSUserDefaults::standardUserDefaults()->setBool(value, key));
}

ErrorOr<Void> LegacyPreferencesPlugin::setDouble(const std::string& key, double value) {
  return written(NSUserDefaults::standardUserDefaults()->setDouble(value, key));
}

ErrorOr<Void> LegacyPreferencesPlugin::setValue(const std::string& key,
                                                const flutter::Value& value) {
  auto stored = toPropertyList(value);
  if (!stored) return unsupportedValueError(key);
  return written(NSUserDefaults::standardUserDefaults()->setObject(std::move(*stored), key));
}

ErrorOr<flutter::ValueMap> LegacyPreferencesPlugin::getAll(
    const std::string& prefix, const std::optional<flutter::ValueList>& allowList) {
  auto entries = PreferencesPlugin::listing(allowList, std::nullopt);
  // Without a suite name the listing fails only when the domain cannot be read now.
  if (auto* error = std::get_if<FlutterError>(&entries)) return *error;
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
  // A listing that could not read removes nothing, and says so.
  if (auto* error = std::get_if<FlutterError>(&entries)) return *error;
  std::vector<std::string> keys;
  for (const auto& [key, value] : std::get<flutter::ValueMap>(entries)) {
    keys.push_back(*key.asString());
  }
  if (!NSUserDefaults::standardUserDefaults()->removeObjectsForKeys(keys)) return writeError();
  return true;
}

}  // namespace preferences_foundation
