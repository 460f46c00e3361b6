// The plain observer that the Dart side creates: every change it is told of goes to the Dart
// side as `NSObject.observeValue`.
#pragma once

#include <memory>

#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

class NSObjectImpl final : public NSObject {
 public:
  // The registrar is not owned: observations that arrive after it has gone are dropped.
  explicit NSObjectImpl(std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar)
      : registrar_(std::move(registrar)) {}

  void observeValueForKeyPath(const std::optional<std::string>& keyPath,
                              const std::shared_ptr<NSObject>& object,
                              const std::optional<AnyValue::Dictionary>& change,
                              void* context) override;

 private:
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> registrar_;
};

}  // namespace wkwebview_host
