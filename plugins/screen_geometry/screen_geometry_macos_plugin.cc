#include "plugins/screen_geometry/screen_geometry_macos_plugin.h"

#include <string_view>
#include <vector>

#include "platform/appkit/ns_application.h"
#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_screen.h"
#include "platform/flutter/no_screen_error.h"
#include "plugins/screen_geometry/display_maps.h"

namespace screen_geometry {

namespace {

const char* const kMethodChannelName = "dev.velmora.plugins/screen_geometry";
const char* const kEventChannelName = "dev.velmora.plugins/screen_geometry_event";

using Method = void (ScreenGeometryMacosPlugin::*)(const FlutterMethodCall&, FlutterResult);

// The methods in their comparison order.
const std::vector<std::pair<std::string_view, Method>>& methodTable() {
  static const std::vector<std::pair<std::string_view, Method>> table = {
      {"getCursorScreenPoint", &ScreenGeometryMacosPlugin::getCursorScreenPoint},
      {"getPrimaryDisplay", &ScreenGeometryMacosPlugin::getPrimaryDisplay},
      {"getAllDisplays", &ScreenGeometryMacosPlugin::getAllDisplays},
  };
  return table;
}

int64_t screenCount() { return static_cast<int64_t>(NSScreen::screens().size()); }

}  // namespace

void ScreenGeometryMacosPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto method_channel =
      FlutterMethodChannel::methodChannelWithName(kMethodChannelName, registrar.messenger());
  auto plugin = std::make_shared<ScreenGeometryMacosPlugin>();
  registrar.addMethodCallDelegate(plugin, method_channel);
  FlutterEventChannel::eventChannelWithName(kEventChannelName, registrar.messenger())
      ->setStreamHandler(plugin);
  plugin->external_display_count_ = screenCount();
  plugin->observeScreenParameters();
}

ScreenGeometryMacosPlugin::~ScreenGeometryMacosPlugin() {
  if (observer_) NSNotificationCenter::defaultCenter()->removeObserver(observer_);
}

void ScreenGeometryMacosPlugin::observeScreenParameters() {
  // Weakly: the centre outlives the plug-in, which stops observing when it goes away.
  std::weak_ptr<ScreenGeometryMacosPlugin> weak = weak_from_this();
  observer_ = NSNotificationCenter::defaultCenter()->addObserverForName(
      NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr,
      [weak](const NSNotification& notification) {
        if (auto self = weak.lock()) self->handleDisplayConnectionWithNotification(notification);
      });
}

void ScreenGeometryMacosPlugin::handleMethodCall(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  for (const auto& [name, method] : methodTable()) {
    if (name == call.method) {
      (this->*method)(call, std::move(result));
      return;
    }
  }
  result(FlutterMethodNotImplemented);
}

void ScreenGeometryMacosPlugin::getCursorScreenPoint(const FlutterMethodCall& /*call*/,
                                                     FlutterResult result) {
  NSPoint location = NSEvent::mouseLocation();
  auto main_screen = NSScreen::mainScreen();
  if (!main_screen) {
    result(flutter::noScreenError());
    return;
  }
  // The lowest top edge among the main screen and all screens.
  CGFloat top = CGRectGetMaxY(main_screen->frame());
  for (const auto& screen : NSScreen::screens()) {
    top = std::min(top, CGRectGetMaxY(screen->frame()));
  }
  result(flutter::Value(pointMap(location.x, top - location.y)));
}

void ScreenGeometryMacosPlugin::getPrimaryDisplay(const FlutterMethodCall& /*call*/,
                                                  FlutterResult result) {
  auto screens = NSScreen::screens();
  if (screens.empty()) {
    result(flutter::noScreenError());
    return;
  }
  const auto& first = *screens.front();
  result(flutter::Value(displayMap(first, first.frame().size.height)));
}

void ScreenGeometryMacosPlugin::getAllDisplays(const FlutterMethodCall& /*call*/,
                                               FlutterResult result) {
  auto screens = NSScreen::screens();
  flutter::ValueList displays;
  for (const auto& screen : screens) {
    displays.push_back(displayMap(*screen, screens.front()->frame().size.height));
  }
  result(flutter::Value(flutter::ValueMap{{"displays", std::move(displays)}}));
}

std::optional<FlutterError> ScreenGeometryMacosPlugin::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> ScreenGeometryMacosPlugin::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  event_sink_ = nullptr;
  return std::nullopt;
}

void ScreenGeometryMacosPlugin::handleDisplayConnectionWithNotification(
    const NSNotification& /*notification*/) {
  const int64_t count = screenCount();
  const char* change = nullptr;
  if (external_display_count_ < count) {
    change = "display-added";
  } else if (count < external_display_count_) {
    change = "display-removed";
  } else {
    return;  // a change of resolution or arrangement
  }
  // Counted whether or not anyone listens: a change nobody heard is not reported later.
  if (event_sink_) event_sink_(flutter::ValueMap{{"type", change}});
  external_display_count_ = count;
}

}  // namespace screen_geometry
