// The registrar's finalizer delegate: tells the Dart side, through the instance manager's API,
// that an object has gone. The outcome is not needed and is ignored.
#pragma once

#include <memory>

#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager_api.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_finalizer.h"

namespace wkwebview_host {

class InstanceManagerApiFinalizerDelegate final
    : public WebKitLibraryPigeonInternalFinalizerDelegate {
 public:
  explicit InstanceManagerApiFinalizerDelegate(
      std::unique_ptr<WebKitLibraryPigeonInstanceManagerApi> api)
      : api_(std::move(api)) {}

  void onDeinit(int64_t identifier) override {
    api_->removeStrongReference(identifier, [](const PigeonResult&) {});
  }

 private:
  std::unique_ptr<WebKitLibraryPigeonInstanceManagerApi> api_;
};

}  // namespace wkwebview_host
