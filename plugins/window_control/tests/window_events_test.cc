// Window events reach the Dart side as "onEvent" calls; the close and zoom decisions follow the
// plug-in's flags.
#include "plugins/window_control/tests/window_control_fixture.h"
#include "plugins/window_control/window_manager.h"
#include "platform/dispatch/testing/main_queue_pump.h"

namespace window_control::testing {
namespace {

TEST_F(WindowControlTest, EventsStartWithInitialisationAndAreNeverDoubled) {
  auto window = open();
  appkit::testing::moveWindow(*window, CGPointMake(0, 0));
  EXPECT_EQ(takeEvents(), Events{});
  expectAnswer("ensureInitialized", Value(), Value(true));
  expectAnswer("ensureInitialized", Value(), Value(true));
  appkit::testing::moveWindow(*window, CGPointMake(10, 10));
  EXPECT_EQ(takeEvents(), (Events{"move", "moved"}));
  // Dragging the bottom-right corner keeps the top-left corner, which moves the frame's origin.
  appkit::testing::resizeWindow(*window, {CGSizeMake(700, 500), CGSizeMake(710, 500)});
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved", "resize", "resized"}));
}

TEST_F(WindowControlTest, PreventCloseKeepsTheWindowOpenButStillReportsTheAttempt) {
  auto window = openAndBind();
  expectAnswer("setPreventClose", ValueMap{{"isPreventClose", true}}, Value(true));
  appkit::testing::clickButton(*window, NSWindowCloseButton);
  expectAnswer("close", Value(), Value(true));
  EXPECT_EQ(takeEvents(), (Events{"close", "close"}));
  EXPECT_TRUE(window->isVisible());

  expectAnswer("setPreventClose", ValueMap{{"isPreventClose", false}}, Value(true));
  appkit::testing::clickButton(*window, NSWindowCloseButton);
  EXPECT_EQ(takeEvents(), (Events{"close", "blur"}));
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(NSApplication::sharedApplication().windows().empty());
}

TEST_F(WindowControlTest, MaximizeAndUnmaximizeReportTheirResizeSequences) {
  auto window = openAndBind();
  expectAnswer("maximize", Value(), Value(true));
  EXPECT_EQ(takeEvents(), (Events{"maximize", "resize", "maximize", "moved"}));
  expectAnswer("isMaximized", Value(), Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(0, 80, 1440, 795));
  expectAnswer("maximize", Value(), Value(true));  // already zoomed: nothing
  EXPECT_EQ(takeEvents(), Events{});

  expectAnswer("unmaximize", Value(), Value(true));
  // The zoom callback reports "maximize" whichever way the zoom goes.
  EXPECT_EQ(takeEvents(), (Events{"maximize", "resize", "unmaximize", "moved"}));
  EXPECT_EQ(window->frame(), kFrame);

  // Resizes that keep the window unzoomed report only themselves.
  expectAnswer("setBounds", ValueMap{{"width", 600.0}, {"height", 400.0}}, Value(true));
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved"}));
  // The zoom button zooms the same way.
  appkit::testing::clickButton(*window, NSWindowZoomButton);
  EXPECT_EQ(takeEvents(), (Events{"maximize", "resize", "maximize", "moved"}));
}

TEST_F(WindowControlTest, RefusedZoomReportsMaximizeAndLeavesTheWindow) {
  auto window = openAndBind();
  expectAnswer("setMaximizable", ValueMap{{"isMaximizable", false}}, Value(true));
  expectAnswer("isMaximizable", Value(), Value(false));
  expectAnswer("maximize", Value(), Value(true));
  EXPECT_EQ(takeEvents(), Events{"maximize"});
  EXPECT_EQ(window->frame(), kFrame);
  expectAnswer("isMaximized", Value(), Value(false));
}

TEST_F(WindowControlTest, WindowAlreadyZoomedWhenBoundReportsMaximizeWithItsFirstResize) {
  auto window = openAndBind(kStandardStyle, NSMakeRect(0, 80, 1440, 795));
  // The Dock hides: the window grows to the new visible frame and stays zoomed.
  auto screen = appkit::testing::builtInScreen();
  screen.visibleFrame = NSMakeRect(0, 0, 1440, 875);
  appkit::testing::setScreens({screen});
  window->setFrame(screen.visibleFrame, true);
  EXPECT_EQ(takeEvents(), (Events{"resize", "maximize", "moved"}));
}

TEST_F(WindowControlTest, ZoomedWindowUnzoomedBeforeAnyReportSendsNoUnmaximize) {
  auto window = openAndBind(kStandardStyle, NSMakeRect(0, 80, 1440, 795));
  window->setFrame(NSMakeRect(0, 80, 1000, 795), true);
  EXPECT_EQ(takeEvents(), (Events{"resize"}));
}

TEST_F(WindowControlTest, FocusAndBlurComeFromTheMainWindowCallbacks) {
  auto window = openAndBind();
  NSApplication::sharedApplication().deactivate();
  EXPECT_EQ(takeEvents(), (Events{"blur"}));
  appkit::testing::clickWindow(*window);
  EXPECT_EQ(takeEvents(), (Events{"focus"}));

  auto other = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  other->orderFront();
  appkit::testing::clickWindow(*other);
  EXPECT_EQ(takeEvents(), (Events{"blur"}));
  // Key but not main: nothing for a window.
  window->makeKeyWindow();
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(takeEvents(), Events{});
  expectAnswer("focus", Value(), Value(true));
  EXPECT_EQ(takeEvents(), (Events{"focus"}));
}

TEST_F(WindowControlTest, PanelsReportFocusFromTheKeyWindowCallbacks) {
  auto panel = open<NSPanel>();
  expectAnswer("ensureInitialized", Value(), Value(true));
  auto other = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  other->orderFront();
  appkit::testing::clickWindow(*other);
  EXPECT_EQ(takeEvents(), (Events{"blur"}));
  appkit::testing::clickWindow(*panel);
  EXPECT_EQ(takeEvents(), (Events{"focus"}));
  EXPECT_FALSE(panel->isMainWindow());
}

TEST_F(WindowControlTest, MinimizeRestoreAndFullScreenReportWhenDone) {
  appkit::testing::holdFullScreenTransitions(true);
  auto window = openAndBind();
  expectAnswer("minimize", Value(), Value(true));
  expectAnswer("restore", Value(), Value(true));
  EXPECT_EQ(takeEvents(), (Events{"blur", "minimize", "focus", "restore"}));

  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", true}}, Value(true));
  EXPECT_EQ(takeEvents(), Events{});
  appkit::testing::finishFullScreenTransition(*window);
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved", "enter-full-screen"}));
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", false}}, Value(true));
  appkit::testing::finishFullScreenTransition(*window);
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved", "leave-full-screen"}));
}

TEST_F(WindowControlTest, FullScreenAndZoomTakeEffectWithoutHelpAndNeverBlockLaterCalls) {
  auto window = openAndBind();
  auto full_screen = [&] { return (window->styleMask() & NSWindowStyleMaskFullScreen) != 0; };
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", true}}, Value(true));
  ASSERT_TRUE(dispatch::testing::runUntil(full_screen));
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved", "enter-full-screen"}));
  expectAnswer("isFullScreen", Value(), Value(true));
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", false}}, Value(true));
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return !full_screen(); }));
  EXPECT_EQ(takeEvents(), (Events{"resize", "moved", "leave-full-screen"}));
  EXPECT_EQ(window->frame(), kFrame);

  expectAnswer("maximize", Value(), Value(true));
  expectAnswer("isMaximized", Value(), Value(true));
  expectAnswer("unmaximize", Value(), Value(true));
  expectAnswer("isMaximized", Value(), Value(false));
  EXPECT_EQ(takeEvents(), (Events{"maximize", "resize", "maximize", "moved", "maximize", "resize",
                                  "unmaximize", "moved"}));
}

TEST(WindowManagerTest, WithoutAnEventCallbackTheDecisionsStayTheSame) {
  appkit::testing::resetWindowSystem();
  auto window = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  window->makeKeyAndOrderFront();
  const NSRect frame = window->frame();
  auto manager = std::make_shared<WindowManager>();
  manager->setMainWindow(window);
  flutter::Value refuse(ValueMap{{"isPreventClose", true}, {"isMaximizable", false}});
  ASSERT_FALSE(manager->setPreventClose(WindowArguments(refuse)));
  ASSERT_FALSE(manager->setMaximizable(WindowArguments(refuse)));
  window->performClose();
  window->zoom();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->frame(), frame);
  appkit::testing::resetWindowSystem();
}

}  // namespace
}  // namespace window_control::testing
