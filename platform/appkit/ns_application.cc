#include "platform/appkit/ns_application.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"

NSApplication& NSApplication::sharedApplication() {
  static auto* const application = new NSApplication();
  return *application;
}

std::shared_ptr<NSApplicationDelegate> NSApplication::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_;
}

void NSApplication::setDelegate(std::shared_ptr<NSApplicationDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::vector<std::shared_ptr<NSWindow>> NSApplication::windows() const {
  std::lock_guard lock(mutex_);
  return windows_;
}

std::shared_ptr<NSWindow> NSApplication::mainWindow() const {
  std::lock_guard lock(mutex_);
  return windows_.empty() ? nullptr : windows_.front();
}

void NSApplication::addWindow(const std::shared_ptr<NSWindow>& window) {
  std::lock_guard lock(mutex_);
  if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) {
    windows_.push_back(window);
  }
}

void NSApplication::windowDidClose(const std::shared_ptr<NSWindow>& window) {
  bool last_window_closed;
  {
    std::lock_guard lock(mutex_);
    auto before = windows_.size();
    std::erase(windows_, window);
    last_window_closed = before > 0 && windows_.empty();
  }
  auto app_delegate = delegate();
  if (last_window_closed && app_delegate &&
      app_delegate->applicationShouldTerminateAfterLastWindowClosed(*this)) {
    terminate();
  }
}

void NSApplication::run() {
  running_ = true;
  dispatch::runMainQueueUntil([this] { return terminated_.load(); });
  running_ = false;
}

void NSApplication::terminate() {
  if (terminated_.exchange(true)) return;
  NSNotification notification{NSApplicationWillTerminateNotification, nullptr, {}};
  if (auto app_delegate = delegate()) app_delegate->applicationWillTerminate(notification);
  NSNotificationCenter::defaultCenter()->postNotification(notification);
  dispatch::wakeMainQueue();
}

void NSApplication::reset() {
  std::lock_guard lock(mutex_);
  windows_.clear();
  delegate_.reset();
  terminated_ = false;
  running_ = false;
}

namespace {

// SIGINT and SIGTERM reach the run loop through a pipe: the handler only writes one byte.
int signal_pipe[2] = {-1, -1};

void onTerminationSignal(int /*signal*/) {
  char byte = 1;
  [[maybe_unused]] auto written = ::write(signal_pipe[1], &byte, 1);
}

void closeMainWindowOnSignals() {
  if (signal_pipe[0] >= 0) return;
  if (::pipe2(signal_pipe, O_CLOEXEC) != 0) return;
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::thread([] {
    char byte;
    while (::read(signal_pipe[0], &byte, 1) > 0) {
      dispatch_async(dispatch_get_main_queue(), [] {
        NSLog("Termination requested: closing the main window");
        auto& application = NSApplication::sharedApplication();
        if (auto window = application.mainWindow()) {
          window->close();
        } else {
          application.terminate();
        }
      });
    }
  }).detach();
}

}  // namespace

int NSApplicationMain(int /*argc*/, const char* /*argv*/[],
                      const NSInterfaceDescription& description) {
  auto& application = NSApplication::sharedApplication();
  application.reset();
  closeMainWindowOnSignals();

  auto app_delegate = description.makeDelegate ? description.makeDelegate() : nullptr;
  application.setDelegate(app_delegate);
  NSNotification will_finish{"NSApplicationWillFinishLaunchingNotification", nullptr, {}};
  if (app_delegate) app_delegate->applicationWillFinishLaunching(will_finish);

  if (description.makeMainWindow) {
    auto window = description.makeMainWindow(description.mainWindowContentRect,
                                             description.mainWindowStyle, NSBackingStoreBuffered,
                                             false);
    if (window) {
      window->setTitle(description.mainWindowTitle);
      application.addWindow(window);
      window->awakeFromNib();
      window->makeKeyAndOrderFront();
    }
  }

  NSNotification did_finish{NSApplicationDidFinishLaunchingNotification, nullptr, {}};
  if (app_delegate) app_delegate->applicationDidFinishLaunching(did_finish);
  NSNotificationCenter::defaultCenter()->postNotification(did_finish);

  application.run();
  return 0;
}
