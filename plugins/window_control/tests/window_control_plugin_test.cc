// The window operations of "window_control", driven through the channel.
#include <cmath>
#include <limits>

#include "plugins/window_control/tests/window_control_fixture.h"
#include "plugins/window_control/window_extensions.h"

namespace window_control::testing {
namespace {

TEST_F(WindowControlTest, UnknownNamesAndUnboundWindowAnswerWithoutTouchingTheWindow) {
  auto window = open();
  EXPECT_TRUE(call("nosuchMethod").isNotImplemented());
  EXPECT_TRUE(call("ISVISIBLE").isNotImplemented());
  EXPECT_TRUE(call("ensureinitialized").isNotImplemented());

  // Before "ensureInitialized" the window is not reached...
  expectError("isVisible", Value(), "NO_WINDOW");
  expectError("setBounds", ValueMap{{"x", 1.0}, {"y", 1.0}}, "NO_WINDOW");
  EXPECT_EQ(window->frame(), kFrame);
  // ...but the rows that do not need it answer.
  expectAnswer("waitUntilReadyToShow", Value(), Value(true));
  expectAnswer("isDockable", Value(), Value(false));
  expectAnswer("isDocked", Value(), Value(int32_t{0}));
  expectAnswer("dock", Value(), Value(true));
  expectAnswer("undock", Value(), Value(true));
  expectAnswer("setPreventClose", ValueMap{{"isPreventClose", true}}, Value(true));
  expectAnswer("isPreventClose", Value(), Value(true));

  // Arguments that are nil or not a map read as an empty map.
  expectAnswer("ensureInitialized", Value("not a map"), Value(true));
  expectAnswer("isVisible", Value(), Value(true));
  expectAnswer("isVisible", Value(int32_t{3}), Value(true));
  expectAnswer("getId", Value(), Value(static_cast<int32_t>(window->windowNumber())));
}

TEST_F(WindowControlTest, ViewOutsideAnyWindowAnswersNoWindowUntilItIsShown) {
  controller_ = std::make_shared<FlutterViewController>();
  WindowControlPlugin::registerWithRegistrar(
      *controller_->registrarForPlugin("WindowControlPlugin"));
  dart_ = std::make_unique<TestDartSide>(controller_->engine());
  expectError("ensureInitialized", Value(), "NO_WINDOW");

  window_ = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  window_->setContentViewController(controller_);
  expectAnswer("ensureInitialized", Value(), Value(true));
  EXPECT_NE(window_->delegate(), nullptr);
}

TEST_F(WindowControlTest, MissingOrMistypedArgumentsAnswerInvalidArguments) {
  auto window = openAndBind();
  expectError("setPreventClose", Value(), "INVALID_ARGUMENTS");
  expectError("setPreventClose", ValueMap{{"isPreventClose", int32_t{1}}}, "INVALID_ARGUMENTS");
  expectError("setTitle", ValueMap{{"title", Value()}}, "INVALID_ARGUMENTS");
  expectError("setMinimumSize", ValueMap{{"width", "wide"}, {"height", 10.0}}, "INVALID_ARGUMENTS");
  expectError("setMinimumSize", ValueMap{{"width", -1.0}, {"height", 10.0}}, "INVALID_ARGUMENTS");
  expectError("setBounds", ValueMap{{"width", std::nan("")}, {"height", 10.0}},
              "INVALID_ARGUMENTS");
  expectError("setBounds", ValueMap{{"x", "left"}}, "INVALID_ARGUMENTS");
  expectError("setBackgroundColor",
              ValueMap{{"backgroundColorA", int32_t{256}},
                       {"backgroundColorR", int32_t{0}},
                       {"backgroundColorG", int32_t{0}},
                       {"backgroundColorB", int32_t{0}}},
              "INVALID_ARGUMENTS");
  expectError("setProgressBar", ValueMap{{"progress", std::nan("")}}, "INVALID_ARGUMENTS");
  // The message names the first bad key and what it must be; null and a non-map read as absent.
  const std::tuple<const char*, Value, const char*> messages[] = {
      {"setIgnoreMouseEvents", ValueMap{{"ignore", true}}, "Argument 'forward' must be a Boolean"},
      {"setTitle", ValueMap{{"title", Value()}}, "Argument 'title' must be a string"},
      {"setTitle", Value("title"), "Argument 'title' must be a string"},
      {"setMinimumSize", ValueMap{{"width", "wide"}, {"height", "high"}},
       "Argument 'width' must be a number"},
      {"setMinimumSize", ValueMap{{"width", -1.0}, {"height", 10.0}},
       "Argument 'width' must be a finite number not below 0"},
      {"setBounds", ValueMap{{"x", 1.0}, {"width", std::nan("")}},
       "Argument 'width' must be a finite number"},
      {"setBackgroundColor", ValueMap{{"backgroundColorA", 1.5}},
       "Argument 'backgroundColorA' must be an integer"},
  };
  for (const auto& [method, arguments, message] : messages) {
    auto reply = call(method, arguments);
    EXPECT_EQ(reply.error, (FlutterError{"INVALID_ARGUMENTS", message, Value()})) << method;
  }
  // Nothing was changed by the refused calls.
  EXPECT_EQ(window->frame(), kFrame);
  EXPECT_EQ(window->minSize(), CGSizeZero);
  EXPECT_FALSE(window->ignoresMouseEvents());
}

TEST_F(WindowControlTest, BoundsAreTopLeftAgainstTheFirstScreen) {
  auto window = openAndBind();
  auto bounds = ValueMap{{"x", 100.0}, {"y", 72.0}, {"width", 800.0}, {"height", 628.0}};
  expectAnswer("getBounds", Value(), bounds);
  // Writing back what was read changes nothing.
  expectAnswer("setBounds", bounds, Value(true));
  EXPECT_EQ(window->frame(), kFrame);

  expectAnswer("setBounds", ValueMap{{"x", 0.0}, {"y", 0.0}, {"width", 400.0}, {"height", 300.0}},
               Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(0, 600, 400, 300));

  // A second screen above does not matter: the first screen's height does.
  appkit::testing::connectScreen(
      {NSMakeRect(0, 900, 1920, 1080), NSMakeRect(0, 900, 1920, 1055), "Above", {}});
  expectAnswer("getBounds", Value(),
               ValueMap{{"x", 0.0}, {"y", 0.0}, {"width", 400.0}, {"height", 300.0}});
}

TEST_F(WindowControlTest, PartialBoundsKeepTheOtherEdgesAndAnimateOnlyWhenAsked) {
  auto window = openAndBind();
  // Size alone: left and top edges stay.
  expectAnswer("setBounds", ValueMap{{"width", 500.0}, {"height", 400.0}}, Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(100, 428, 500, 400));
  EXPECT_FALSE(appkit::testing::lastFrameChangeWasAnimated(*window));
  // One coordinate alone, or a null pair, moves nothing.
  expectAnswer("setBounds", ValueMap{{"x", 5.0}, {"y", Value()}, {"animate", true}}, Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(100, 428, 500, 400));
  // A position alone keeps the size; "animate" must be the Boolean true to animate.
  expectAnswer("setBounds", ValueMap{{"x", 10.0}, {"y", 20.0}, {"animate", true}}, Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(10, 480, 500, 400));
  EXPECT_TRUE(appkit::testing::lastFrameChangeWasAnimated(*window));
  expectAnswer("setBounds", ValueMap{{"x", 10.0}, {"y", 20.0}, {"animate", "yes"}}, Value(true));
  EXPECT_FALSE(appkit::testing::lastFrameChangeWasAnimated(*window));
}

TEST_F(WindowControlTest, BoundsWithoutScreensAnswerNoScreenUnlessOnlyTheSizeChanges) {
  auto window = openAndBind();
  appkit::testing::setScreens({});
  expectError("getBounds", Value(), "NO_SCREEN");
  expectError("setBounds", ValueMap{{"x", 1.0}, {"y", 1.0}}, "NO_SCREEN");
  EXPECT_EQ(window->frame(), kFrame);
  expectAnswer("setBounds", ValueMap{{"width", 300.0}, {"height", 200.0}}, Value(true));
  EXPECT_EQ(window->frame().size, CGSizeMake(300, 200));
  // Zooming needs a screen too; without one it does nothing.
  expectAnswer("maximize", Value(), Value(true));
  expectAnswer("isMaximized", Value(), Value(false));
}

TEST_F(WindowControlTest, GeometryWhoseResultsAreNotFiniteIsRefusedAndChangesNothing) {
  auto window = openAndBind();
  const double huge = 1e308;
  // Each value is finite, but an edge, or the position flipped to the screen's, is not.
  const ValueMap refused_bounds[] = {
      {{"x", 0.0}, {"y", huge}, {"width", huge}, {"height", huge}},
      {{"x", huge}, {"y", 0.0}, {"width", huge}, {"height", 10.0}, {"animate", true}},
  };
  for (const auto& bounds : refused_bounds) {
    expectError("setBounds", bounds, "INVALID_ARGUMENTS");
    EXPECT_EQ(window->frame(), kFrame);
  }
  expectAnswer("getBounds", Value(),
               ValueMap{{"x", 100.0}, {"y", 72.0}, {"width", 800.0}, {"height", 628.0}});
  // Far away is fine while every edge stays finite.
  expectAnswer("setBounds", ValueMap{{"x", -huge}, {"y", 0.0}, {"width", huge}, {"height", 10.0}},
               Value(true));

  // A ratio whose inverse is not finite would make the user's resizing infinite.
  window->setContentAspectRatio(CGSizeMake(2, 1));
  for (double ratio : {5e-324, std::numeric_limits<double>::infinity()}) {
    expectError("setAspectRatio", ValueMap{{"aspectRatio", ratio}}, "INVALID_ARGUMENTS");
  }
  EXPECT_EQ(window->contentAspectRatio(), CGSizeMake(2, 1));
  // Sizes are taken in single precision, where 1e39 is no longer finite.
  expectError("setMaximumSize", ValueMap{{"width", 1e39}, {"height", 10.0}}, "INVALID_ARGUMENTS");
  EXPECT_EQ(window->maxSize().height, std::numeric_limits<float>::max());
}

TEST_F(WindowControlTest, SizeLimitsAreTakenInSinglePrecision) {
  auto window = openAndBind();
  expectAnswer("setMinimumSize", ValueMap{{"width", 100.1}, {"height", int32_t{50}}}, Value(true));
  EXPECT_EQ(window->minSize().width, 100.0999984741211);
  EXPECT_EQ(window->minSize().height, 50.0);
  expectAnswer("setMaximumSize", ValueMap{{"width", 1000.0}, {"height", 700.0}}, Value(true));
  EXPECT_EQ(window->maxSize(), CGSizeMake(1000, 700));
  // The user cannot resize past them.
  appkit::testing::resizeWindow(*window, {CGSizeMake(50, 40), CGSizeMake(5000, 5000)});
  EXPECT_EQ(window->frame().size, CGSizeMake(1000, 700));
}

TEST_F(WindowControlTest, StyleSwitchesTouchOnlyTheirBit) {
  auto window = openAndBind();
  window->setStyleMask(kStandardStyle | NSWindowStyleMaskFullSizeContentView);
  const std::vector<std::tuple<const char*, const char*, const char*, NSWindowStyleMask>> switches =
      {{"isResizable", "setResizable", "isResizable", NSWindowStyleMaskResizable},
       {"isMinimizable", "setMinimizable", "isMinimizable", NSWindowStyleMaskMiniaturizable},
       {"isClosable", "setClosable", "isClosable", NSWindowStyleMaskClosable}};
  for (const auto& [query, setter, key, bit] : switches) {
    expectAnswer(query, Value(), Value(true));
    expectAnswer(setter, ValueMap{{key, false}}, Value(true));
    expectAnswer(query, Value(), Value(false));
    EXPECT_EQ(window->styleMask(), (kStandardStyle | NSWindowStyleMaskFullSizeContentView) & ~bit);
    expectAnswer(setter, ValueMap{{key, true}}, Value(true));
    EXPECT_EQ(window->styleMask(), kStandardStyle | NSWindowStyleMaskFullSizeContentView);
  }
  expectAnswer("setMovable", ValueMap{{"isMovable", false}}, Value(true));
  expectAnswer("isMovable", Value(), Value(false));

  window_control::setCollectionBehavior(*window, true, 1 << 4);
  expectAnswer("setVisibleOnAllWorkspaces",
               ValueMap{{"visible", true}, {"visibleOnFullScreen", true}}, Value(true));
  expectAnswer("isVisibleOnAllWorkspaces", Value(), Value(true));
  EXPECT_EQ(window->collectionBehavior(), (1u << 4) | NSWindowCollectionBehaviorCanJoinAllSpaces |
                                              NSWindowCollectionBehaviorFullScreenAuxiliary);
  expectAnswer("setVisibleOnAllWorkspaces",
               ValueMap{{"visible", false}, {"visibleOnFullScreen", false}}, Value(true));
  EXPECT_EQ(window->collectionBehavior(), 1u << 4);
}

TEST_F(WindowControlTest, AlwaysOnTopSetsTheLevelAndOnPanelsTheNonActivatingBit) {
  auto window = openAndBind();
  window->setLevel(8);
  expectAnswer("isAlwaysOnTop", Value(), Value(false));
  expectAnswer("setAlwaysOnTop", ValueMap{{"isAlwaysOnTop", true}}, Value(true));
  expectAnswer("isAlwaysOnTop", Value(), Value(true));
  EXPECT_EQ(window->level(), NSFloatingWindowLevel);
  expectAnswer("setAlwaysOnTop", ValueMap{{"isAlwaysOnTop", false}}, Value(true));
  expectAnswer("isAlwaysOnTop", Value(), Value(false));
  EXPECT_EQ(window->level(), NSNormalWindowLevel);
  EXPECT_EQ(window->styleMask(), kStandardStyle);  // a window keeps its style
}

TEST_F(WindowControlTest, AlwaysOnTopPanelBecomesNonActivating) {
  auto panel = open<NSPanel>();
  expectAnswer("ensureInitialized", Value(), Value(true));
  expectAnswer("setAlwaysOnTop", ValueMap{{"isAlwaysOnTop", true}}, Value(true));
  EXPECT_EQ(panel->styleMask(), kStandardStyle | NSWindowStyleMaskNonactivatingPanel);
  expectAnswer("setAlwaysOnTop", ValueMap{{"isAlwaysOnTop", false}}, Value(true));
  EXPECT_EQ(panel->styleMask(), kStandardStyle);
}

TEST_F(WindowControlTest, FramelessAndTitleBarStylesShowAndHideTheTitleBar) {
  auto window = openAndBind();
  auto close_button = window->standardWindowButton(NSWindowCloseButton);
  auto container = close_button->superview()->superview();
  expectAnswer("getTitleBarHeight", Value(), Value(int32_t{28}));

  expectAnswer("setAsFrameless", Value(), Value(true));
  EXPECT_TRUE(window->styleMask() & NSWindowStyleMaskFullSizeContentView);
  EXPECT_EQ(window->titleVisibility(), NSWindowTitleHidden);
  EXPECT_TRUE(window->isOpaque());
  EXPECT_FALSE(window->hasShadow());
  EXPECT_EQ(window->backgroundColor(), NSColor::clearColor());
  EXPECT_TRUE(container->isHidden());
  expectAnswer("getTitleBarHeight", Value(), Value(int32_t{0}));

  expectAnswer("setTitleBarStyle",
               ValueMap{{"titleBarStyle", "hidden"}, {"windowButtonVisibility", false}},
               Value(true));
  EXPECT_TRUE(window->titlebarAppearsTransparent());
  EXPECT_FALSE(container->isHidden());
  for (auto kind : {NSWindowCloseButton, NSWindowMiniaturizeButton, NSWindowZoomButton}) {
    EXPECT_TRUE(window->standardWindowButton(kind)->isHidden());
  }
  // A hidden close button cannot be clicked.
  appkit::testing::clickButton(*window, NSWindowCloseButton);
  EXPECT_TRUE(window->isVisible());

  expectAnswer("setTitleBarStyle",
               ValueMap{{"titleBarStyle", "normal"}, {"windowButtonVisibility", true}},
               Value(true));
  EXPECT_EQ(window->titleVisibility(), NSWindowTitleVisible);
  EXPECT_FALSE(window->titlebarAppearsTransparent());
  EXPECT_FALSE(window->styleMask() & NSWindowStyleMaskFullSizeContentView);
  EXPECT_FALSE(window->isOpaque());
  EXPECT_TRUE(window->hasShadow());
  EXPECT_FALSE(close_button->isHidden());
}

TEST_F(WindowControlTest, TitleBarStyleOfABorderlessWindowChangesWhatItHas) {
  auto window = openAndBind(NSWindowStyleMaskBorderless);
  expectAnswer("setAsFrameless", Value(), Value(true));
  expectAnswer("setTitleBarStyle",
               ValueMap{{"titleBarStyle", "hidden"}, {"windowButtonVisibility", true}},
               Value(true));
  EXPECT_TRUE(window->titlebarAppearsTransparent());
  EXPECT_EQ(window->standardWindowButton(NSWindowCloseButton), nullptr);
}

TEST_F(WindowControlTest, AspectRatioFollowsTheContentOrTheWholeFrame) {
  auto window = openAndBind();
  expectAnswer("setAspectRatio", ValueMap{{"aspectRatio", 2.0}}, Value(true));
  EXPECT_EQ(window->contentAspectRatio(), CGSizeMake(2, 1));
  appkit::testing::resizeWindow(*window, {CGSizeMake(600, 999)});
  EXPECT_EQ(window->frame().size, CGSizeMake(600, 300 + NSWindow::kTitleBarHeight));

  expectAnswer("setAspectRatio", ValueMap{{"aspectRatio", int32_t{0}}}, Value(true));
  EXPECT_EQ(window->resizeIncrements(), CGSizeMake(1, 1));
  EXPECT_EQ(window->contentAspectRatio(), CGSizeZero);
  EXPECT_EQ(window->aspectRatio(), CGSizeZero);

  window->setStyleMask(kStandardStyle | NSWindowStyleMaskFullSizeContentView);
  expectAnswer("setAspectRatio", ValueMap{{"aspectRatio", 1.5}}, Value(true));
  EXPECT_EQ(window->aspectRatio(), CGSizeMake(1.5, 1));
}

TEST_F(WindowControlTest, BackgroundColourIsClearForZerosAndRgbaOtherwise) {
  auto window = openAndBind();
  auto colour = [](int32_t a, int32_t r, int32_t g, int32_t b) {
    return ValueMap{{"backgroundColorA", a},
                    {"backgroundColorR", r},
                    {"backgroundColorG", g},
                    {"backgroundColorB", b}};
  };
  expectAnswer("setBackgroundColor", colour(0, 0, 0, 0), Value(true));
  EXPECT_EQ(window->backgroundColor(), NSColor::clearColor());
  expectAnswer("setBackgroundColor", colour(255, 0, 0, 0), Value(true));
  EXPECT_EQ(window->backgroundColor(), NSColor::colorWithRed(0, 0, 0, 1));
  expectAnswer("setBackgroundColor", colour(0, 255, 51, 0), Value(true));
  EXPECT_EQ(window->backgroundColor(), NSColor::colorWithRed(1, 0.2, 0, 0));
}

TEST_F(WindowControlTest, ProgressBarHidesShowsValuesAndGoesIndeterminate) {
  openAndBind();
  auto tile = NSApplication::sharedApplication().dockTile();
  expectAnswer("setProgressBar", ValueMap{{"progress", 0.5}}, Value(true));
  auto icon = std::dynamic_pointer_cast<NSImageView>(tile->contentView());
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->image(), NSApplication::sharedApplication().applicationIconImage());
  auto bar = std::dynamic_pointer_cast<NSProgressIndicator>(icon->subviews().back());
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->frame(), NSMakeRect(0, 0, 128, 15));
  EXPECT_FALSE(bar->isHidden());
  EXPECT_FALSE(bar->isIndeterminate());
  EXPECT_EQ(bar->doubleValue(), 0.5);

  expectAnswer("setProgressBar", ValueMap{{"progress", -1.0}}, Value(true));
  EXPECT_TRUE(bar->isHidden());
  expectAnswer("setProgressBar", ValueMap{{"progress", 1.5}}, Value(true));
  EXPECT_FALSE(bar->isHidden());
  EXPECT_TRUE(bar->isIndeterminate());
  EXPECT_EQ(bar->doubleValue(), 1.0);
  // Back in range, the value shows again.
  expectAnswer("setProgressBar", ValueMap{{"progress", int32_t{1}}}, Value(true));
  EXPECT_FALSE(bar->isIndeterminate());
  EXPECT_EQ(bar->doubleValue(), 1.0);
  // The tile's views were built once.
  EXPECT_EQ(tile->contentView(), icon);
  EXPECT_EQ(icon->subviews().size(), 1u);
  EXPECT_EQ(appkit::testing::dockTileDisplayCount(), 4);

  // A tile showing a view of another kind is left alone.
  icon->addSubview(std::make_shared<NSView>());
  expectError("setProgressBar", ValueMap{{"progress", 0.2}}, "DOCK_TILE_IN_USE");
}

TEST_F(WindowControlTest, DockBadgeAndActivationPolicy) {
  open();
  expectAnswer("setBadgeLabel", ValueMap{{"label", "3"}}, Value(true));
  EXPECT_EQ(NSApplication::sharedApplication().dockTile()->badgeLabel(), "3");
  expectAnswer("isSkipTaskbar", Value(), Value(false));
  expectAnswer("setSkipTaskbar", ValueMap{{"isSkipTaskbar", true}}, Value(true));
  expectAnswer("isSkipTaskbar", Value(), Value(true));
  EXPECT_EQ(NSApplication::sharedApplication().activationPolicy(),
            NSApplicationActivationPolicyAccessory);
  expectAnswer("setSkipTaskbar", ValueMap{{"isSkipTaskbar", false}}, Value(true));
  expectAnswer("isSkipTaskbar", Value(), Value(false));
}

TEST_F(WindowControlTest, HideAndShowFinishOnTheMainQueue) {
  auto window = openAndBind();
  expectAnswer("hide", Value(), Value(true));
  // Answered, but the window goes only once the main queue runs.
  EXPECT_TRUE(window->isVisible());
  expectAnswer("isVisible", Value(), Value(true));
  dart_->drain();
  expectAnswer("isVisible", Value(), Value(false));
  EXPECT_FALSE(window->isKeyWindow());

  NSApplication::sharedApplication().deactivate();
  expectAnswer("show", Value(), Value(true));
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isKeyWindow());
  dart_->drain();
  EXPECT_TRUE(NSApplication::sharedApplication().isActive());
  expectAnswer("isFocused", Value(), Value(true));
}

TEST_F(WindowControlTest, FocusBlurMinimizeRestoreAndDestroy) {
  auto window = openAndBind();
  auto other = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  other->orderFront();
  appkit::testing::clickWindow(*other);
  expectAnswer("isFocused", Value(), Value(false));
  expectAnswer("focus", Value(), Value(true));
  expectAnswer("isFocused", Value(), Value(true));
  EXPECT_EQ(NSApplication::sharedApplication().orderedWindows().front(), window);
  expectAnswer("blur", Value(), Value(true));
  EXPECT_EQ(NSApplication::sharedApplication().orderedWindows().back(), window);

  expectAnswer("minimize", Value(), Value(true));
  expectAnswer("isMinimized", Value(), Value(true));
  expectAnswer("isVisible", Value(), Value(false));
  expectAnswer("restore", Value(), Value(true));
  expectAnswer("isMinimized", Value(), Value(false));
  expectAnswer("isFocused", Value(), Value(true));

  EXPECT_FALSE(appkit::testing::terminationRequested());
  expectAnswer("destroy", Value(), Value(true));
  EXPECT_TRUE(appkit::testing::terminationRequested());
}

TEST_F(WindowControlTest, FullScreenTogglesOnlyWhenTheStateDiffers) {
  appkit::testing::holdFullScreenTransitions(true);
  auto window = openAndBind();
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", false}}, Value(true));
  EXPECT_FALSE(appkit::testing::isInFullScreenTransition(*window));
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", true}}, Value(true));
  EXPECT_TRUE(appkit::testing::isInFullScreenTransition(*window));
  expectAnswer("isFullScreen", Value(), Value(false));  // until the transition ends
  appkit::testing::finishFullScreenTransition(*window);
  expectAnswer("isFullScreen", Value(), Value(true));
  EXPECT_EQ(window->frame(), NSMakeRect(0, 0, 1440, 900));
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", true}}, Value(true));
  EXPECT_FALSE(appkit::testing::isInFullScreenTransition(*window));
  expectAnswer("setFullScreen", ValueMap{{"isFullScreen", false}}, Value(true));
  appkit::testing::finishFullScreenTransition(*window);
  expectAnswer("isFullScreen", Value(), Value(false));
  EXPECT_EQ(window->frame(), kFrame);
}

TEST_F(WindowControlTest, TitleOpacityShadowAppearanceAndMouse) {
  auto window = openAndBind();
  expectAnswer("setTitle", ValueMap{{"title", "Dokument – 1"}}, Value(true));
  expectAnswer("getTitle", Value(), Value("Dokument – 1"));

  expectAnswer("getOpacity", Value(), Value(1.0));
  expectAnswer("setOpacity", ValueMap{{"opacity", 0.25}}, Value(true));
  expectAnswer("getOpacity", Value(), Value(0.25));

  expectAnswer("setHasShadow", ValueMap{{"hasShadow", false}}, Value(true));
  expectAnswer("hasShadow", Value(), Value(false));
  EXPECT_EQ(appkit::testing::shadowInvalidationCount(*window), 1);

  expectAnswer("setBrightness", ValueMap{{"brightness", "dark"}}, Value(true));
  EXPECT_EQ(window->appearance()->name(), NSAppearanceNameVibrantDark);
  expectAnswer("setBrightness", ValueMap{{"brightness", "Dark"}}, Value(true));
  EXPECT_EQ(window->appearance()->name(), NSAppearanceNameVibrantLight);

  expectAnswer("setIgnoreMouseEvents", ValueMap{{"ignore", true}, {"forward", true}}, Value(true));
  EXPECT_TRUE(window->ignoresMouseEvents());
  EXPECT_TRUE(window->acceptsMouseMovedEvents());
  expectAnswer("setIgnoreMouseEvents", ValueMap{{"ignore", false}, {"forward", true}}, Value(true));
  EXPECT_FALSE(window->ignoresMouseEvents());
  EXPECT_FALSE(window->acceptsMouseMovedEvents());
}

TEST_F(WindowControlTest, StartDraggingUsesTheCurrentMouseDownOnceTheQueueRuns) {
  auto window = openAndBind();
  expectAnswer("startDragging", Value(), Value(true));  // no event: nothing happens
  dart_->drain();
  EXPECT_EQ(appkit::testing::windowDragEvent(*window), nullptr);

  appkit::testing::pressMouse(*window, CGPointMake(400, 610));
  expectAnswer("startDragging", Value(), Value(true));
  EXPECT_EQ(appkit::testing::windowDragEvent(*window), nullptr);
  dart_->drain();
  ASSERT_NE(appkit::testing::windowDragEvent(*window), nullptr);
  appkit::testing::moveMouse(CGPointMake(530, 780));
  EXPECT_EQ(window->frame().origin, CGPointMake(130, 170));
  appkit::testing::releaseMouse();
  appkit::testing::moveMouse(CGPointMake(0, 0));
  EXPECT_EQ(window->frame().origin, CGPointMake(130, 170));
}

TEST(WindowExtensionsTest, HidingAtLaunchHappensOnce) {
  appkit::testing::resetWindowSystem();
  auto window = std::make_shared<NSWindow>(kFrame, kStandardStyle, NSBackingStoreBuffered, false);
  window->makeKeyAndOrderFront();
  EXPECT_FALSE(hiddenOnceFlag(*window));
  hiddenWindowAtLaunch(*window);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(hiddenOnceFlag(*window));
  window->makeKeyAndOrderFront();
  hiddenWindowAtLaunch(*window);
  EXPECT_TRUE(window->isVisible());
  appkit::testing::resetWindowSystem();
}

}  // namespace
}  // namespace window_control::testing
