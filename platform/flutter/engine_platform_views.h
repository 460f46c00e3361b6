// The engine's platform-view registry. The Dart side creates and disposes of views on the
// method channel "flutter/platform_views": "create" with {"id", "viewType", "params"} (params:
// bytes encoded with the factory's argument codec, optional) and "dispose" with the view id.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/flutter/flutter_method_channel.h"
#include "platform/flutter/flutter_platform_view.h"

namespace flutter {

inline constexpr const char* kPlatformViewsChannel = "flutter/platform_views";

class EnginePlatformViews {
 public:
  void registerFactory(std::shared_ptr<FlutterPlatformViewFactory> factory,
                       const std::string& viewType);
  void handleMethodCall(const FlutterMethodCall& call, const FlutterResult& result);

  std::shared_ptr<NSView> viewForIdentifier(int64_t viewId) const;
  bool hasFactory(const std::string& viewType) const { return factories_.count(viewType) != 0; }
  void removeAll();

 private:
  void create(const flutter::Value& arguments, const FlutterResult& result);
  void dispose(const flutter::Value& arguments, const FlutterResult& result);

  std::map<std::string, std::shared_ptr<FlutterPlatformViewFactory>> factories_;
  std::map<int64_t, std::shared_ptr<NSView>> views_;
};

}  // namespace flutter
