// Embeds web views in the Flutter view: the creation argument is the identifier under which the
// Dart side created the web view.
#pragma once

#include <memory>

#include "platform/flutter/flutter_platform_view.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager.h"

namespace wkwebview_host {

class FlutterViewFactory final : public FlutterPlatformViewFactory {
 public:
  // The instance manager is not owned.
  explicit FlutterViewFactory(std::weak_ptr<WebKitLibraryPigeonInstanceManager> instanceManager)
      : instance_manager_(std::move(instanceManager)) {}

  // The identifier arrives as a plain integer of the standard codec.
  std::shared_ptr<const FlutterMessageCodec> createArgsCodec() override;
  // The live view registered under the identifier (32-bit or 64-bit); none for an argument that
  // is no integer, an identifier without a live object, or an object that is not a view, which
  // the engine answers as a failed creation.
  std::shared_ptr<NSView> createWithViewIdentifier(int64_t viewId,
                                                   const flutter::Value& arguments) override;

 private:
  std::weak_ptr<WebKitLibraryPigeonInstanceManager> instance_manager_;
};

}  // namespace wkwebview_host
