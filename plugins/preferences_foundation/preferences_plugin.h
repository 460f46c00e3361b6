// The preferences plug-in: key-value preferences of the Dart side in the user defaults, either
// the application's own or a named suite. It keeps nothing between calls. Its operations read
// and write files, and a change may wait for another process's lock, so they run on a serial
// work queue of the plug-in and are answered on the main queue in the order they were sent.
#pragma once

#include "platform/flutter/flutter_plugin.h"
#include "platform/foundation/ns_user_defaults.h"
#include "plugins/preferences_foundation/messages.g.h"

namespace preferences_foundation {

class PreferencesPlugin : public UserDefaultsApi {
 public:
  // Sets up both APIs, this one then the legacy one, on one work queue: both reach the standard
  // defaults, so a call through one API must see a change sent earlier through the other.
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  ErrorOr<Void> set(const std::string& key, const flutter::Value& value,
                    const PreferencesPigeonOptions& options) override;
  ErrorOr<Void> clear(const std::optional<flutter::ValueList>& allowList,
                      const PreferencesPigeonOptions& options) override;
  ErrorOr<flutter::ValueMap> getAll(const std::optional<flutter::ValueList>& allowList,
                                    const PreferencesPigeonOptions& options) override;
  ErrorOr<flutter::Value> getValue(const std::string& key,
                                   const PreferencesPigeonOptions& options) override;
  ErrorOr<flutter::ValueList> getKeys(const std::optional<flutter::ValueList>& allowList,
                                      const PreferencesPigeonOptions& options) override;

  // The supported entries of one persistent domain (the suite's, else the bundle identifier's),
  // narrowed by the allow list when there is one.
  static ErrorOr<flutter::ValueMap> listing(const std::optional<flutter::ValueList>& allowList,
                                            const std::optional<std::string>& suiteName);
};

// A new serial queue for the plug-in's operations.
dispatch_queue_t makePreferencesWorkQueue();

// A new defaults object for the suite (the application's own without one), or the
// "Argument Error" for a suite the system refuses.
std::variant<std::shared_ptr<NSUserDefaults>, FlutterError> defaultsForSuite(
    const std::optional<std::string>& suiteName);

// The error answer for a value that a property list cannot hold.
FlutterError unsupportedValueError(const std::string& key);
// The error answer for a change that did not reach the disk (and so was not made).
FlutterError writeError();
// The error answer for a read that could not read the stored preferences now (and so changed
// nothing): its message names the cause.
FlutterError readError(const NSError& cause);
// Void, or the write error when `written` is false.
ErrorOr<Void> written(bool written);

}  // namespace preferences_foundation
