// The window system model: delegate callbacks, focus, zoom, full screen, screens and the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/window_system_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"

namespace {

constexpr NSWindowStyleMask kStyle = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                     NSWindowStyleMaskMiniaturizable | NSWindowStyleMaskResizable;

// Records the callbacks by name and answers the two questions as told.
class RecordingDelegate : public NSWindowDelegate {
 public:
  bool windowShouldClose(NSWindow&) override { return record("shouldClose"), allow_close; }
  bool windowShouldZoom(NSWindow&, NSRect) override { return record("shouldZoom"), allow_zoom; }
  void windowDidResize(const NSNotification&) override { record("resize"); }
  void windowDidEndLiveResize(const NSNotification&) override { record("endLiveResize"); }
  void windowWillMove(const NSNotification&) override { record("willMove"); }
  void windowDidMove(const NSNotification&) override { record("move"); }
  void windowDidBecomeKey(const NSNotification&) override { record("key"); }
  void windowDidResignKey(const NSNotification&) override { record("resignKey"); }
  void windowDidBecomeMain(const NSNotification&) override { record("main"); }
  void windowDidResignMain(const NSNotification&) override { record("resignMain"); }
  void windowDidMiniaturize(const NSNotification&) override { record("miniaturize"); }
  void windowDidDeminiaturize(const NSNotification&) override { record("deminiaturize"); }
  void windowDidEnterFullScreen(const NSNotification&) override { record("enterFullScreen"); }
  void windowDidExitFullScreen(const NSNotification&) override { record("exitFullScreen"); }

  std::vector<std::string> take() { return std::exchange(calls, {}); }

  bool allow_close = true;
  bool allow_zoom = true;
  std::vector<std::string> calls;

 private:
  void record(const char* name) { calls.emplace_back(name); }
};

using Calls = std::vector<std::string>;

class WindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { appkit::testing::resetWindowSystem(); }
  void TearDown() override { appkit::testing::resetWindowSystem(); }

  template <typename Window = NSWindow>
  std::shared_ptr<Window> show(NSRect frame, std::shared_ptr<RecordingDelegate> delegate) {
    auto window = std::make_shared<Window>(frame, kStyle, NSBackingStoreBuffered, false);
    window->setFrame(frame, false);
    window->setDelegate(delegate);
    window->makeKeyAndOrderFront();
    delegate->take();
    return window;
  }

  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<RecordingDelegate> other_delegate_ = std::make_shared<RecordingDelegate>();
};

TEST_F(WindowSystemTest, ZoomFillsTheVisibleFrameAndGoesBackUnlessRefused) {
  const NSRect frame = NSMakeRect(100, 200, 600, 400);
  auto window = show(frame, delegate_);
  window->zoom();
  EXPECT_TRUE(window->isZoomed());
  EXPECT_EQ(window->frame(), NSScreen::screens().front()->visibleFrame());
  EXPECT_EQ(delegate_->take(), (Calls{"shouldZoom", "resize", "move"}));
  window->zoom();
  EXPECT_EQ(window->frame(), frame);

  delegate_->allow_zoom = false;
  window->standardWindowButton(NSWindowZoomButton)->performClick();
  EXPECT_EQ(window->frame(), frame);
  EXPECT_EQ(delegate_->take(), (Calls{"shouldZoom", "resize", "move", "shouldZoom"}));
  // Without the resizable bit the zoom button does nothing.
  delegate_->allow_zoom = true;
  window->setStyleMask(kStyle & ~NSWindowStyleMaskResizable);
  window->performZoom();
  EXPECT_EQ(delegate_->take(), Calls{});
}

TEST_F(WindowSystemTest, CloseAsksTheDelegateAndNeedsTheClosableBit) {
  auto window = show(NSMakeRect(0, 0, 300, 200), delegate_);
  delegate_->allow_close = false;
  window->performClose();
  EXPECT_TRUE(window->isVisible());
  window->setStyleMask(kStyle & ~NSWindowStyleMaskClosable);
  window->performClose();
  EXPECT_EQ(delegate_->take(), Calls{"shouldClose"});
  window->setStyleMask(kStyle);
  delegate_->allow_close = true;
  window->performClose();
  EXPECT_EQ(delegate_->take(), (Calls{"shouldClose", "resignKey", "resignMain"}));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(NSApplication::sharedApplication().keyWindow(), nullptr);
}

TEST_F(WindowSystemTest, FocusMovesBetweenWindowsAndFollowsActivation) {
  auto& application = NSApplication::sharedApplication();
  auto window = show(NSMakeRect(0, 0, 300, 200), delegate_);
  auto panel = show<NSPanel>(NSMakeRect(400, 0, 300, 200), other_delegate_);
  // The panel took the keyboard; the window stays main.
  EXPECT_EQ(delegate_->take(), Calls{"resignKey"});
  EXPECT_TRUE(panel->isKeyWindow());
  EXPECT_TRUE(window->isMainWindow());

  application.deactivate();
  EXPECT_EQ(application.keyWindow(), nullptr);
  EXPECT_EQ(delegate_->take(), Calls{"resignMain"});
  EXPECT_EQ(other_delegate_->take(), Calls{"resignKey"});
  // Without ignoring other applications, an inactive one stays inactive.
  application.activateIgnoringOtherApps(false);
  EXPECT_FALSE(application.isActive());
  application.activateIgnoringOtherApps(true);
  EXPECT_EQ(other_delegate_->take(), Calls{"key"});
  EXPECT_EQ(delegate_->take(), Calls{"main"});

  window->miniaturize();
  EXPECT_EQ(delegate_->take(), (Calls{"resignMain", "miniaturize"}));
  EXPECT_EQ(application.orderedWindows(), std::vector<std::shared_ptr<NSWindow>>{panel});
  window->makeKeyAndOrderFront();
  EXPECT_FALSE(window->isMiniaturized());
  EXPECT_EQ(delegate_->take(), (Calls{"key", "main", "deminiaturize"}));
}

TEST_F(WindowSystemTest, FullScreenChangesWhenTheTransitionEnds) {
  appkit::testing::holdFullScreenTransitions(true);
  const NSRect frame = NSMakeRect(100, 200, 600, 400);
  auto window = show(frame, delegate_);
  window->toggleFullScreen();
  window->toggleFullScreen();  // ignored during the transition
  window->zoom();              // likewise
  EXPECT_FALSE(window->styleMask() & NSWindowStyleMaskFullScreen);
  appkit::testing::finishFullScreenTransition(*window);
  EXPECT_TRUE(window->styleMask() & NSWindowStyleMaskFullScreen);
  EXPECT_EQ(window->frame(), NSMakeRect(0, 0, 1440, 900));
  EXPECT_FALSE(window->isZoomed());
  window->toggleFullScreen();
  appkit::testing::finishFullScreenTransition(*window);
  EXPECT_EQ(window->frame(), frame);
  EXPECT_EQ(delegate_->take(),
            (Calls{"resize", "move", "enterFullScreen", "resize", "move", "exitFullScreen"}));

  appkit::testing::setScreens({});
  window->toggleFullScreen();
  EXPECT_FALSE(appkit::testing::isInFullScreenTransition(*window));
}

TEST_F(WindowSystemTest, FullScreenTransitionsEndOnTheirOwnAfterTheAnimation) {
  const NSRect frame = NSMakeRect(100, 200, 600, 400);
  auto window = show(frame, delegate_);
  delegate_->take();
  auto full_screen = [&] { return (window->styleMask() & NSWindowStyleMaskFullScreen) != 0; };
  window->toggleFullScreen();
  EXPECT_FALSE(full_screen());
  ASSERT_TRUE(dispatch::testing::runUntil(full_screen));
  EXPECT_EQ(window->frame(), NSMakeRect(0, 0, 1440, 900));
  window->toggleFullScreen();
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return !full_screen(); }));
  EXPECT_EQ(window->frame(), frame);
  // Nothing is left pending: zooming works again.
  window->zoom();
  EXPECT_TRUE(window->isZoomed());
  EXPECT_EQ(delegate_->take(), (Calls{"resize", "move", "enterFullScreen", "resize", "move",
                                      "exitFullScreen", "shouldZoom", "resize", "move"}));

  // A transition ended by hand is not ended again by the one that was scheduled for it.
  window->zoom();
  delegate_->take();
  window->toggleFullScreen();
  appkit::testing::finishFullScreenTransition(*window);
  window->toggleFullScreen();
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return !full_screen(); }));
  EXPECT_TRUE(dispatch::testing::drainUntilIdle());
  EXPECT_EQ(delegate_->take(),
            (Calls{"resize", "move", "enterFullScreen", "resize", "move", "exitFullScreen"}));
}

TEST_F(WindowSystemTest, TitledWindowsComeOntoTheScreenBelowTheTopOfItsVisibleFrame) {
  // The built-in screen's visible frame is (0, 80, 1440, 795): its top edge is at 875.
  auto high = show(NSMakeRect(335, 390, 800, 628), other_delegate_);
  EXPECT_EQ(high->frame(), NSMakeRect(335, 247, 800, 628));
  auto tall = show(NSMakeRect(10, 10, 400, 2000), other_delegate_);
  EXPECT_EQ(tall->frame(), NSMakeRect(10, 80, 400, 795));
  // Borderless windows and windows already on the screen go where they are put.
  auto borderless = std::make_shared<NSWindow>(NSMakeRect(0, 850, 100, 100),
                                               NSWindowStyleMaskBorderless, NSBackingStoreBuffered,
                                               false);
  borderless->orderFront();
  EXPECT_EQ(borderless->frame(), NSMakeRect(0, 850, 100, 100));
  high->setFrameOrigin(CGPointMake(335, 390));
  high->orderFront();
  EXPECT_EQ(high->frame().origin, CGPointMake(335, 390));
}

TEST_F(WindowSystemTest, ScreensFollowTheWindowsOnThem) {
  appkit::testing::connectScreen(
      {NSMakeRect(1440, 0, 1920, 1080), NSMakeRect(1440, 0, 1920, 1055), "Second", {}});
  auto window = show(NSMakeRect(1300, 100, 600, 400), delegate_);
  auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(window->screen(), screens[1]);  // most of it is on the second screen
  EXPECT_EQ(NSScreen::mainScreen(), screens[1]);
  window->zoom();
  EXPECT_EQ(window->frame(), screens[1]->visibleFrame());

  window->orderOut();
  EXPECT_EQ(NSScreen::mainScreen(), screens[0]);
  appkit::testing::setScreens({});
  EXPECT_EQ(NSScreen::mainScreen(), nullptr);
  EXPECT_EQ(window->screen(), nullptr);
}

TEST_F(WindowSystemTest, TheUserIsHeldToSizeLimitsRatiosAndMovability) {
  auto window = show(NSMakeRect(100, 100, 600, 400), delegate_);
  window->setAspectRatio(CGSizeMake(2, 1));
  window->setMaxSize(CGSizeMake(700, 700));
  appkit::testing::resizeWindow(*window, {CGSizeMake(900, 100)});
  EXPECT_EQ(window->frame(), NSMakeRect(100, 150, 700, 350));
  EXPECT_EQ(delegate_->take(), (Calls{"resize", "move", "endLiveResize"}));

  window->setMovable(false);
  appkit::testing::moveWindow(*window, CGPointMake(0, 0));
  window->setMovable(true);
  window->setIgnoresMouseEvents(true);
  appkit::testing::moveWindow(*window, CGPointMake(0, 0));
  appkit::testing::clickButton(*window, NSWindowMiniaturizeButton);
  EXPECT_EQ(delegate_->take(), Calls{});
  window->setIgnoresMouseEvents(false);
  appkit::testing::moveWindow(*window, CGPointMake(0, 0));
  EXPECT_EQ(delegate_->take(), (Calls{"willMove", "move"}));
  window->setStyleMask(kStyle & ~NSWindowStyleMaskMiniaturizable);
  appkit::testing::clickButton(*window, NSWindowMiniaturizeButton);
  EXPECT_FALSE(window->isMiniaturized());
}

}  // namespace
