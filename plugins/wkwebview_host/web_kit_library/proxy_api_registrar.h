// The plug-in's registrar: the API registrar with the plug-in's own API delegate, the asset
// lookup, the errors that the API implementations report, and the way native callbacks reach the
// Dart side (always on a later turn of the main queue).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/flutter/value.h"
#include "plugins/wkwebview_host/flutter_asset_manager.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

// Logs the failure of a call to the Dart side made by "<API>.<operation>".
using PigeonFailureReporter =
    std::function<void(const std::string& methodName, const PigeonError& error)>;

class ProxyAPIRegistrar final : public WebKitLibraryPigeonProxyApiRegistrar {
 public:
  // Make it with std::make_shared.
  ProxyAPIRegistrar(std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
                    std::shared_ptr<FlutterAssetManager> assetManager);

  // The registrar of an API made by this plug-in; null for any other.
  static ProxyAPIRegistrar* from(WebKitLibraryPigeonProxyApiRegistrar& registrar) {
    return dynamic_cast<ProxyAPIRegistrar*>(&registrar);
  }

  const FlutterAssetManager& assetManager() const { return *asset_manager_; }

  // "UnknownEnumError": the case has no native counterpart.
  template <typename E>
  static PigeonError createUnknownEnumError(E value) {
    return PigeonError("UnknownEnumError",
                       std::string(caseName(value)) + " doesn't represent a native value.",
                       flutter::Value());
  }
  // "ConstructorReturnedNullError": the platform made nothing of these parameters.
  static PigeonError createConstructorNullError(std::string_view type,
                                                const flutter::ValueMap& parameters);
  // "HWVUnsupportedVersionError": `method` needs a newer system.
  static PigeonError createUnsupportedVersionError(std::string_view method,
                                                   std::string_view versionRequirements);

  // Two log lines: the error with the method's name and message, then the call stack.
  static void logDartCallFailure(const std::string& methodName, const PigeonError& error);

  // Posts `task` to the main queue, also when called there; it runs on a later turn with a
  // reporter that logs failures. A task whose registrar has gone by then is dropped.
  void dispatchOnMainThread(std::function<void(const PigeonFailureReporter&)> task);

 private:
  std::shared_ptr<FlutterAssetManager> asset_manager_;
};

}  // namespace wkwebview_host
