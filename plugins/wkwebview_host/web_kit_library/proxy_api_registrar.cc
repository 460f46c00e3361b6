#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "platform/foundation/ns_log.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_delegate.h"

namespace wkwebview_host {

ProxyAPIRegistrar::ProxyAPIRegistrar(std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
                                     std::shared_ptr<FlutterAssetManager> assetManager)
    : WebKitLibraryPigeonProxyApiRegistrar(std::move(binaryMessenger),
                                           std::make_unique<ProxyAPIDelegate>()),
      asset_manager_(std::move(assetManager)) {}

PigeonError ProxyAPIRegistrar::createConstructorNullError(std::string_view type,
                                                          const flutter::ValueMap& parameters) {
  return PigeonError("ConstructorReturnedNullError",
                     "Failed to instantiate `" + std::string(type) +
                         "` with parameters: " + flutter::Value(parameters).debugString(),
                     flutter::Value());
}

PigeonError ProxyAPIRegistrar::createUnsupportedVersionError(std::string_view method,
                                                             std::string_view versionRequirements) {
  return PigeonError(
      "HWVUnsupportedVersionError",
      "`" + std::string(method) + "` requires " + std::string(versionRequirements) + ".",
      flutter::Value());
}

void ProxyAPIRegistrar::logDartCallFailure(const std::string& methodName,
                                           const PigeonError& error) {
  std::string message =
      error.message() ? "Optional(\"" + *error.message() + "\")" : std::string("nil");
  NSLog("%s: Error returned from calling %s: %s", error.what(), methodName.c_str(),
        message.c_str());
  NSLog("%s", flutter::currentStackTrace().c_str());
}

void ProxyAPIRegistrar::dispatchOnMainThread(
    std::function<void(const PigeonFailureReporter&)> task) {
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> weak = weak_from_this();
  dispatch_async(dispatch_get_main_queue(), [weak, task = std::move(task)] {
    if (weak.expired()) return;
    task(&ProxyAPIRegistrar::logDartCallFailure);
  });
}

}  // namespace wkwebview_host
