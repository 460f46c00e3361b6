// The instance manager's own API, "PigeonInternalInstanceManager", on the enumeration codec.
// From the Dart side: "removeStrongReference" [identifier] and "clear". To the Dart side:
// "removeStrongReference" [identifier] when a registered object has gone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/flutter/flutter_binary_messenger.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager.h"

namespace wkwebview_host {

class WebKitLibraryPigeonInstanceManagerApi {
 public:
  static constexpr const char* kRemoveStrongReferenceChannel =
      "dev.flutter.pigeon.wkwebview_host.PigeonInternalInstanceManager.removeStrongReference";
  static constexpr const char* kClearChannel =
      "dev.flutter.pigeon.wkwebview_host.PigeonInternalInstanceManager.clear";

  // The messenger is not owned: the registrar owns it.
  explicit WebKitLibraryPigeonInstanceManagerApi(std::weak_ptr<FlutterBinaryMessenger> messenger)
      : binary_messenger_(std::move(messenger)) {}

  // Installs the two host handlers over `instanceManager`, or removes them when it is null.
  static void setUpMessageHandlers(
      const std::shared_ptr<FlutterBinaryMessenger>& binaryMessenger,
      const std::shared_ptr<WebKitLibraryPigeonInstanceManager>& instanceManager);

  // Tells the Dart side that the object under `identifier` has gone. Unlike the calls of the
  // wrapped classes, this one is made even while calls to the Dart side are ignored.
  void removeStrongReference(int64_t identifier,
                             std::function<void(const PigeonResult&)> completion);

 private:
  std::weak_ptr<FlutterBinaryMessenger> binary_messenger_;
};

}  // namespace wkwebview_host
