#include "plugins/window_control/window_control_plugin.h"

#include <functional>
#include <string_view>
#include <vector>

namespace window_control {

namespace {

const char* const kChannelName = "window_control";
const char* const kNoWindowCode = "NO_WINDOW";

using Handler = std::function<FlutterMethodResponse(WindowControlPlugin&, WindowArguments&)>;

struct MethodRow {
  std::string_view name;
  // Whether the row touches the main window, which must be bound first.
  bool needsWindow;
  Handler handler;
};

flutter::Value answerValue(bool value) { return flutter::Value(value); }
flutter::Value answerValue(double value) { return flutter::Value(value); }
flutter::Value answerValue(int32_t value) { return flutter::Value(value); }
flutter::Value answerValue(int64_t value) {
  // As the platform's codec writes an integer: 32 bits when it fits.
  if (value >= INT32_MIN && value <= INT32_MAX) return flutter::Value(static_cast<int32_t>(value));
  return flutter::Value(value);
}
flutter::Value answerValue(std::string value) { return flutter::Value(std::move(value)); }
FlutterMethodResponse answerValue(FlutterMethodResponse response) { return response; }

// Row makers, by the shape of the window manager's operation.
template <typename Answer>
Handler query(Answer (WindowManager::*operation)() const) {
  return [operation](WindowControlPlugin& plugin, WindowArguments&) -> FlutterMethodResponse {
    return answerValue((plugin.windowManager().*operation)());
  };
}

Handler action(void (WindowManager::*operation)()) {
  return [operation](WindowControlPlugin& plugin, WindowArguments&) -> FlutterMethodResponse {
    (plugin.windowManager().*operation)();
    return flutter::Value(true);
  };
}

Handler change(OperationError (WindowManager::*operation)(WindowArguments)) {
  return [operation](WindowControlPlugin& plugin,
                     WindowArguments& arguments) -> FlutterMethodResponse {
    if (auto error = (plugin.windowManager().*operation)(arguments)) return *error;
    return flutter::Value(true);
  };
}

FlutterMethodResponse initialize(WindowControlPlugin& plugin, WindowArguments&) {
  if (auto error = plugin.ensureInitialized()) return *error;
  return flutter::Value(true);
}

// The methods in their comparison order.
const std::vector<MethodRow>& methodTable() {
  using M = WindowManager;
  static const std::vector<MethodRow> table = {
      {"ensureInitialized", false, initialize},
      {"waitUntilReadyToShow", false, action(&M::waitUntilReadyToShow)},
      {"getId", true, query(&M::getId)},
      {"setAsFrameless", true, action(&M::setAsFrameless)},
      {"destroy", false, action(&M::destroy)},
      {"close", true, action(&M::close)},
      {"isPreventClose", false, query(&M::isPreventClose)},
      {"setPreventClose", false, change(&M::setPreventClose)},
      {"focus", true, action(&M::focus)},
      {"blur", true, action(&M::blur)},
      {"isFocused", true, query(&M::isFocused)},
      {"show", true, action(&M::show)},
      {"hide", true, action(&M::hide)},
      {"isVisible", true, query(&M::isVisible)},
      {"isMaximized", true, query(&M::isMaximized)},
      {"maximize", true, action(&M::maximize)},
      {"unmaximize", true, action(&M::unmaximize)},
      {"isMinimized", true, query(&M::isMinimized)},
      {"isMaximizable", false, query(&M::isMaximizable)},
      {"setMaximizable", false, change(&M::setMaximizable)},
      {"minimize", true, action(&M::minimize)},
      {"restore", true, action(&M::restore)},
      {"isDockable", false, query(&M::isDockable)},
      {"isDocked", false, query(&M::isDocked)},
      {"dock", false, action(&M::dock)},
      {"undock", false, action(&M::undock)},
      {"isFullScreen", true, query(&M::isFullScreen)},
      {"setFullScreen", true, change(&M::setFullScreen)},
      {"setAspectRatio", true, change(&M::setAspectRatio)},
      {"setBackgroundColor", true, change(&M::setBackgroundColor)},
      {"getBounds", true, query(&M::getBounds)},
      {"setBounds", true, change(&M::setBounds)},
      {"setMinimumSize", true, change(&M::setMinimumSize)},
      {"setMaximumSize", true, change(&M::setMaximumSize)},
      {"isResizable", true, query(&M::isResizable)},
      {"setResizable", true, change(&M::setResizable)},
      {"isMovable", true, query(&M::isMovable)},
      {"setMovable", true, change(&M::setMovable)},
      {"isMinimizable", true, query(&M::isMinimizable)},
      {"setMinimizable", true, change(&M::setMinimizable)},
      {"isClosable", true, query(&M::isClosable)},
      {"setClosable", true, change(&M::setClosable)},
      {"isAlwaysOnTop", true, query(&M::isAlwaysOnTop)},
      {"setAlwaysOnTop", true, change(&M::setAlwaysOnTop)},
      {"getTitle", true, query(&M::getTitle)},
      {"setTitle", true, change(&M::setTitle)},
      {"setTitleBarStyle", true, change(&M::setTitleBarStyle)},
      {"getTitleBarHeight", true, query(&M::getTitleBarHeight)},
      {"isSkipTaskbar", false, query(&M::isSkipTaskbar)},
      {"setSkipTaskbar", false, change(&M::setSkipTaskbar)},
      {"setBadgeLabel", false, change(&M::setBadgeLabel)},
      {"setProgressBar", false, change(&M::setProgressBar)},
      {"isVisibleOnAllWorkspaces", true, query(&M::isVisibleOnAllWorkspaces)},
      {"setVisibleOnAllWorkspaces", true, change(&M::setVisibleOnAllWorkspaces)},
      {"hasShadow", true, query(&M::hasShadow)},
      {"setHasShadow", true, change(&M::setHasShadow)},
      {"getOpacity", true, query(&M::getOpacity)},
      {"setOpacity", true, change(&M::setOpacity)},
      {"setBrightness", true, change(&M::setBrightness)},
      {"setIgnoreMouseEvents", true, change(&M::setIgnoreMouseEvents)},
      {"startDragging", true, action(&M::startDragging)},
  };
  return table;
}

void answer(const FlutterResult& result, FlutterMethodResponse response) {
  std::visit([&](auto&& value) { result(std::forward<decltype(value)>(value)); },
             std::move(response));
}

}  // namespace

void WindowControlPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  auto plugin = std::make_shared<WindowControlPlugin>(registrar.viewController(), channel);
  registrar.addMethodCallDelegate(plugin, channel);
}

WindowControlPlugin::WindowControlPlugin(std::weak_ptr<FlutterViewController> viewController,
                                         std::shared_ptr<FlutterMethodChannel> channel)
    : view_controller_(std::move(viewController)), channel_(std::move(channel)) {}

void WindowControlPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  WindowArguments arguments(call.arguments);
  for (const auto& row : methodTable()) {
    if (row.name != call.method) continue;
    if (row.needsWindow && !window_manager_->mainWindow()) {
      result(FlutterError{kNoWindowCode,
                          "The main window is not bound: call ensureInitialized first",
                          flutter::Value()});
      return;
    }
    answer(result, row.handler(*this, arguments));
    return;
  }
  result(FlutterMethodNotImplemented);
}

std::optional<FlutterError> WindowControlPlugin::ensureInitialized() {
  if (inited_) return std::nullopt;
  auto controller = view_controller_.lock();
  auto view = controller ? controller->view() : nullptr;
  auto window = view ? view->window() : nullptr;
  if (!window) {
    return FlutterError{kNoWindowCode, "The Flutter view is not shown in a window",
                        flutter::Value()};
  }
  window_manager_->setMainWindow(std::move(window));
  // Held weakly: the manager belongs to this plug-in.
  std::weak_ptr<WindowControlPlugin> weak = weak_from_this();
  window_manager_->onEvent = [weak](const std::string& eventName) {
    if (auto self = weak.lock()) self->emitEvent(eventName);
  };
  inited_ = true;
  return std::nullopt;
}

void WindowControlPlugin::emitEvent(const std::string& eventName) {
  channel_->invokeMethod("onEvent", flutter::ValueMap{{"eventName", eventName}});
}

}  // namespace window_control
