// The legacy preferences API: always the standard user defaults, with listings and clearing
// narrowed by a key prefix and an optional allow list.
#pragma once

#include "platform/flutter/flutter_plugin.h"
#include "plugins/preferences_foundation/messages.g.h"

namespace preferences_foundation {

class LegacyPreferencesPlugin : public LegacyUserDefaultsApi {
 public:
  // Sets up the legacy API alone.
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  ErrorOr<Void> remove(const std::string& key) override;
  ErrorOr<Void> setBool(const std::string& key, bool value) override;
  ErrorOr<Void> setDouble(const std::string& key, double value) override;
  ErrorOr<Void> setValue(const std::string& key, const flutter::Value& value) override;
  ErrorOr<flutter::ValueMap> getAll(const std::string& prefix,
                                    const std::optional<flutter::ValueList>& allowList) override;
  ErrorOr<bool> clear(const std::string& prefix,
                      const std::optional<flutter::ValueList>& allowList) override;
};

}  // namespace preferences_foundation
