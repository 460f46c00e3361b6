#include <gtest/gtest.h>

#include "platform/appkit/appkit.h"

namespace {

TEST(WindowTest, InstallingAControllerSizesTheWindowToItsView) {
  auto window = std::make_shared<NSWindow>(NSMakeRect(10, 20, 400, 300), NSWindowStyleMaskTitled,
                                           NSBackingStoreBuffered, false);
  EXPECT_EQ(window->frame(), NSMakeRect(10, 20, 400, 300 + NSWindow::kTitleBarHeight));
  auto controller = std::make_shared<NSViewController>();
  controller->setView(std::make_shared<NSView>(NSMakeRect(0, 0, 640, 480)));
  window->setContentViewController(controller);
  // The top edge stays where it was.
  EXPECT_EQ(window->frame(), NSMakeRect(10, 20 + 300 - 480, 640, 480 + NSWindow::kTitleBarHeight));
  EXPECT_EQ(window->contentView(), controller->view());
  EXPECT_EQ(controller->view()->window(), window);

  window->setFrame(NSMakeRect(0, 0, 500, 428), true);
  EXPECT_EQ(controller->view()->frame().size, CGSizeMake(500, 400));
  EXPECT_EQ(window->displayCount(), 1);
}

class CountingDelegate : public NSApplicationDelegate {
 public:
  explicit CountingDelegate(bool terminate) : terminate_(terminate) {}
  bool applicationShouldTerminateAfterLastWindowClosed(NSApplication&) override { return terminate_; }
  void applicationDidFinishLaunching(const NSNotification&) override { ++launched; }
  int launched = 0;

 private:
  bool terminate_;
};

TEST(ApplicationTest, MainRoutineEndsWhenTheLastWindowClosesAndTheDelegateAgrees) {
  auto delegate = std::make_shared<CountingDelegate>(true);
  std::shared_ptr<NSWindow> created;
  NSInterfaceDescription description;
  description.makeDelegate = [&] { return delegate; };
  description.makeMainWindow = [&](NSRect rect, NSWindowStyleMask style, NSBackingStoreType backing,
                                   bool defer) {
    created = std::make_shared<NSWindow>(rect, style, backing, defer);
    // Close it once the run loop is running.
    dispatch_async(dispatch_get_main_queue(), [&] { created->close(); });
    return created;
  };
  EXPECT_EQ(NSApplicationMain(0, nullptr, description), 0);
  EXPECT_EQ(delegate->launched, 1);
  EXPECT_TRUE(created->isAwakeFromNib());
  EXPECT_TRUE(NSApplication::sharedApplication().windows().empty());
}

TEST(ApplicationTest, ClosingTheLastWindowDoesNotTerminateWithoutTheDelegate) {
  auto& application = NSApplication::sharedApplication();
  application.reset();
  application.setDelegate(std::make_shared<CountingDelegate>(false));
  auto window = std::make_shared<NSWindow>(NSMakeRect(0, 0, 10, 10), NSWindowStyleMaskBorderless,
                                           NSBackingStoreBuffered, false);
  window->makeKeyAndOrderFront();
  bool terminated = false;
  auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
      NSApplicationWillTerminateNotification, nullptr, nullptr,
      [&](const NSNotification&) { terminated = true; });
  window->close();
  EXPECT_FALSE(terminated);
  NSNotificationCenter::defaultCenter()->removeObserver(token);
  application.reset();
}

}  // namespace
