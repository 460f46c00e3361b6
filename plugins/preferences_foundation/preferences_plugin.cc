#include "plugins/preferences_foundation/preferences_plugin.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

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

dispatch_queue_t makePreferencesWorkQueue() {
  return dispatch_queue_create("com.velmora.host.preferences", DISPATCH_QUEUE_SERIAL);
}

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

FlutterError writeError() {
  return FlutterError{"Write Error", "The preferences could not be saved; nothing was changed",
                      flutter::Value("")};
}

FlutterError readError(const NSError& cause) {
  return FlutterError{
      "Read Error",
      "The preferences could not be read (" + cause.localizedDescription + "); nothing was changed",
      flutter::Value("")};
}

ErrorOr<Void> written(bool written) {
  if (!written) return writeError();
  return Void{};
}

void PreferencesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto queue = makePreferencesWorkQueue();
  UserDefaultsApiSetup::setUpUserDefaultsApi(registrar.messenger(),
                                             std::make_shared<PreferencesPlugin>(), "", queue);
  LegacyUserDefaultsApiSetup::setUpLegacyUserDefaultsApi(
      registrar.messenger(), std::make_shared<LegacyPreferencesPlugin>(), "", queue);
}

ErrorOr<Void> PreferencesPlugin::set(const std::string& key, const flutter::Value& value,
                                     const PreferencesPigeonOptions& options) {
  auto defaults = defaultsForSuite(options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto stored = toPropertyList(value);
  if (!stored) return unsupportedValueError(key);
  return written(std::get<0>(defaults)->setObject(std::move(*stored), key));
}

ErrorOr<Void> PreferencesPlugin::clear(const std::optional<flutter::ValueList>& allowList,
                                       const PreferencesPigeonOptions& options) {
  auto defaults = defaultsForSuite(options.suiteName());
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  auto& chosen = std::get<0>(defaults);
  std::vector<std::string> keys;
  if (allowList) {
    keys.reserve(allowList->size());
    for (const auto& key : *allowList) keys.push_back(*key.asString());
  } else {
    std::optional<NSError> failure;
    auto visible = chosen->dictionaryRepresentation(&failure);
    if (failure) return readError(*failure);
    for (auto& [key, value] : visible) keys.push_back(key);
  }
  // One write for the whole call: all keys go, or none.
  return written(chosen->removeObjectsForKeys(keys));
}

ErrorOr<flutter::ValueMap> PreferencesPlugin::listing(
    const std::optional<flutter::ValueList>& allowList,
    const std::optional<std::string>& suiteName) {
  std::optional<std::string> domain_name =
      suiteName ? suiteName : NSBundle::mainBundle()->bundleIdentifier();
  if (!domain_name) return flutter::ValueMap{};
  auto defaults = defaultsForSuite(suiteName);
  if (auto* error = std::get_if<FlutterError>(&defaults)) return *error;
  std::optional<NSError> failure;
  auto domain = std::get<0>(defaults)->persistentDomainForName(*domain_name, &failure);
  if (failure) return readError(*failure);
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
  std::optional<NSError> failure;
  auto value = std::get<0>(defaults)->objectForKey(key, &failure);
  if (failure) return readError(*failure);
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
