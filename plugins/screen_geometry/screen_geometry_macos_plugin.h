// The screen-geometry plug-in: tells the Dart side where the pointer is and which displays exist
// (method channel "dev.velmora.plugins/screen_geometry"), and when a display is connected or
// disconnected (event channel "dev.velmora.plugins/screen_geometry_event"). Without any display,
// the cursor and primary-display queries answer the error "NO_SCREEN". Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/flutter/flutter.h"

namespace screen_geometry {

class ScreenGeometryMacosPlugin : public FlutterPlugin,
                                  public FlutterStreamHandler,
                                  public std::enable_shared_from_this<ScreenGeometryMacosPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  ~ScreenGeometryMacosPlugin() override;

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;
  void getCursorScreenPoint(const FlutterMethodCall& call, FlutterResult result);
  void getPrimaryDisplay(const FlutterMethodCall& call, FlutterResult result);
  void getAllDisplays(const FlutterMethodCall& call, FlutterResult result);

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  // Sends "display-added" or "display-removed" when the number of displays went up or down since
  // it was last looked at; nothing when it stayed the same.
  void handleDisplayConnectionWithNotification(const NSNotification& notification);

 private:
  void observeScreenParameters();

  FlutterEventSink event_sink_;
  // The number of displays when last looked at (the built-in one included).
  int64_t external_display_count_ = 0;
  NSNotificationObserverToken observer_;
};

}  // namespace screen_geometry
