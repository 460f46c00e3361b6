#include <gtest/gtest.h>

#include "host/app_delegate.h"
#include "host/main_flutter_window.h"
#include "host/main_interface.h"
#include "platform/appkit/ns_screen.h"
#include "platform/flutter/flutter_view_controller.h"

namespace {

// Watches what the window looks like at the moment the registrant runs.
class WatchedWindow : public MainFlutterWindow {
 public:
  using MainFlutterWindow::MainFlutterWindow;

  struct AtRegistration {
    bool ran = false;
    bool controller_installed = false;
    bool registry_is_the_controller = false;
    bool base_awoken = false;
    NSRect frame;
  } at_registration;

 protected:
  void runPluginRegistrant(FlutterPluginRegistry& registry) override {
    at_registration.ran = true;
    auto controller = contentViewController();
    at_registration.controller_installed = controller != nullptr && contentView() == controller->view();
    at_registration.registry_is_the_controller =
        dynamic_cast<FlutterViewController*>(&registry) == controller.get();
    at_registration.base_awoken = isAwakeFromNib();
    at_registration.frame = frame();
    MainFlutterWindow::runPluginRegistrant(registry);
  }
};

TEST(MainWindowTest, StartUpInstallsTheControllerRegistersThenAwakesTheBase) {
  const NSRect content = NSMakeRect(100, 200, 800, 600);
  auto window = std::make_shared<WatchedWindow>(content, NSWindowStyleMaskTitled,
                                                NSBackingStoreBuffered, false);
  NSRect frame_before = window->frame();
  window->awakeFromNib();

  const auto& seen = window->at_registration;
  EXPECT_TRUE(seen.ran);
  EXPECT_TRUE(seen.controller_installed);
  EXPECT_TRUE(seen.registry_is_the_controller);
  EXPECT_FALSE(seen.base_awoken);
  EXPECT_EQ(seen.frame, frame_before);
  EXPECT_TRUE(window->isAwakeFromNib());
  // The Flutter view has its own size, yet the window keeps the frame it had.
  EXPECT_EQ(window->frame(), frame_before);
  EXPECT_EQ(window->contentView()->frame().size, content.size);
  EXPECT_GE(window->displayCount(), 1);
  auto controller = std::dynamic_pointer_cast<FlutterViewController>(window->contentViewController());
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(controller->engine()->hasPlugin("MeasureUnitsPlugin"));
}

TEST(AppDelegateTest, TerminatesAfterLastWindowAndSupportsSecureRestorableState) {
  AppDelegate delegate;
  auto& application = NSApplication::sharedApplication();
  EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed(application));
  EXPECT_TRUE(delegate.applicationSupportsSecureRestorableState(application));
  delegate.applicationDidFinishLaunching(NSNotification{});
  EXPECT_FALSE(delegate.launchingFinished());  // the engine's default is not run
}

TEST(HostTest, ClosingTheMainWindowEndsTheApplication) {
  std::shared_ptr<NSWindow> main_window;
  NSRect first_frame{};
  NSRect visible_frame{};
  NSInterfaceDescription description = mainInterfaceDescription();
  auto make_window = description.makeMainWindow;
  description.makeMainWindow = [&](NSRect rect, NSWindowStyleMask style, NSBackingStoreType backing,
                                   bool defer) {
    main_window = make_window(rect, style, backing, defer);
    dispatch_async(dispatch_get_main_queue(), [&] {
      first_frame = main_window->frame();
      if (auto screen = main_window->screen()) visible_frame = screen->visibleFrame();
      main_window->close();
    });
    return main_window;
  };
  EXPECT_EQ(NSApplicationMain(0, nullptr, description), 0);
  ASSERT_NE(main_window, nullptr);
  EXPECT_TRUE(main_window->isAwakeFromNib());
  // The window opened inside the visible frame of its screen.
  EXPECT_GE(first_frame.origin.x, visible_frame.origin.x);
  EXPECT_GE(first_frame.origin.y, visible_frame.origin.y);
  EXPECT_LE(first_frame.origin.x + first_frame.size.width,
            visible_frame.origin.x + visible_frame.size.width);
  EXPECT_LE(first_frame.origin.y + first_frame.size.height,
            visible_frame.origin.y + visible_frame.size.height);
  EXPECT_FALSE(NSApplication::sharedApplication().isRunning());
  NSApplication::sharedApplication().reset();
}

}  // namespace
