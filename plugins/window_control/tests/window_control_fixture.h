// A main window with a Flutter view, the plug-in registered with that view's controller, and the
// Dart side connected to its engine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/window_system_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "plugins/window_control/window_control_plugin.h"

namespace window_control::testing {

using flutter::Value;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;

inline constexpr NSWindowStyleMask kStandardStyle =
    NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable |
    NSWindowStyleMaskResizable;
// On the built-in screen (1440 x 900): top-left corner at (100, 72) for the Dart side.
inline const NSRect kFrame = NSMakeRect(100, 200, 800, 628);

class WindowControlTest : public ::testing::Test {
 protected:
  void SetUp() override { appkit::testing::resetWindowSystem(); }

  void TearDown() override {
    dart_.reset();
    // The engine's handlers hold the plug-in, which holds the window, which holds the controller.
    if (controller_) controller_->engine()->shutDown();
    appkit::testing::resetWindowSystem();
  }

  // Shows `window` with a Flutter view at `frame`, key and main, and registers the plug-in.
  template <typename Window = NSWindow>
  std::shared_ptr<Window> open(NSWindowStyleMask style = kStandardStyle, NSRect frame = kFrame) {
    auto window =
        std::make_shared<Window>(NSMakeRect(0, 0, 10, 10), style, NSBackingStoreBuffered, false);
    window_ = window;
    controller_ = std::make_shared<FlutterViewController>();
    window->setContentViewController(controller_);
    window->setFrame(frame, false);
    window->makeKeyAndOrderFront();
    WindowControlPlugin::registerWithRegistrar(
        *controller_->registrarForPlugin("WindowControlPlugin"));
    dart_ = std::make_unique<TestDartSide>(controller_->engine());
    return window;
  }

  std::shared_ptr<NSWindow> openAndBind(NSWindowStyleMask style = kStandardStyle,
                                        NSRect frame = kFrame) {
    auto window = open(style, frame);
    expectAnswer("ensureInitialized", Value(), Value(true));
    return window;
  }

  MethodReply call(const std::string& method, Value arguments = Value()) {
    return dart_->invokeMethod("window_control", method, std::move(arguments));
  }

  void expectAnswer(const std::string& method, Value arguments, const Value& expected) {
    auto reply = call(method, std::move(arguments));
    ASSERT_TRUE(reply.isSuccess()) << method << ": " << reply.describe();
    EXPECT_EQ(reply.value, expected) << method;
  }

  void expectError(const std::string& method, Value arguments, const std::string& code) {
    auto reply = call(method, std::move(arguments));
    ASSERT_TRUE(reply.isError()) << method << ": " << reply.describe();
    EXPECT_EQ(reply.error.code, code) << method;
  }

  // The events the Dart side received since the last look. Each must be an "onEvent" call with
  // exactly one argument entry, "eventName".
  std::vector<std::string> takeEvents() {
    auto calls = dart_->callsFromHost("window_control");
    std::vector<std::string> names;
    for (size_t index = seen_events_; index < calls.size(); ++index) {
      EXPECT_EQ(calls[index].method, "onEvent");
      const auto* arguments = calls[index].arguments.asMap();
      EXPECT_TRUE(arguments != nullptr && arguments->size() == 1);
      const auto* name = calls[index].arguments.find("eventName");
      names.push_back(name != nullptr && name->asString() ? *name->asString() : "?");
    }
    seen_events_ = calls.size();
    return names;
  }

  std::shared_ptr<NSWindow> window_;
  std::shared_ptr<FlutterViewController> controller_;
  std::unique_ptr<TestDartSide> dart_;
  size_t seen_events_ = 0;
};

using Events = std::vector<std::string>;

}  // namespace window_control::testing
