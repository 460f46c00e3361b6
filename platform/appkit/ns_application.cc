#include "platform/appkit/ns_application.h"

#include <algorithm>

#include "platform/dispatch/dispatch.h"

namespace {

std::shared_ptr<NSImage> defaultApplicationIcon() {
  return std::make_shared<NSImage>(CGSizeMake(128, 128), NSImageNameApplicationIcon);
}

}  // namespace

NSApplication& NSApplication::sharedApplication() {
  static auto* const application = new NSApplication();
  return *application;
}

NSApplication::NSApplication()
    : dock_tile_(std::make_shared<NSDockTile>()), application_icon_(defaultApplicationIcon()) {}

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

std::vector<std::shared_ptr<NSWindow>> NSApplication::orderedWindows() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<NSWindow>> ordered;
  for (const auto& weak : ordered_windows_) {
    if (auto window = weak.lock()) ordered.push_back(std::move(window));
  }
  return ordered;
}

void NSApplication::windowOrderedFront(const std::shared_ptr<NSWindow>& window) {
  addWindow(window);
  std::lock_guard lock(mutex_);
  std::erase_if(ordered_windows_, [&](const auto& weak) { return weak.lock() == window; });
  ordered_windows_.insert(ordered_windows_.begin(), window);
}

void NSApplication::windowOrderedBack(const std::shared_ptr<NSWindow>& window) {
  addWindow(window);
  std::lock_guard lock(mutex_);
  std::erase_if(ordered_windows_, [&](const auto& weak) { return weak.lock() == window; });
  ordered_windows_.push_back(window);
}

void NSApplication::windowLeftScreen(const std::shared_ptr<NSWindow>& window) {
  bool was_key;
  bool was_main;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(ordered_windows_, [&](const auto& weak) { return weak.lock() == window; });
    was_key = key_window_.lock() == window;
    was_main = main_window_.lock() == window;
  }
  if (was_key) setKeyWindow(nullptr);
  if (was_main) setMainWindow(nullptr);
}

std::shared_ptr<NSWindow> NSApplication::keyWindow() const {
  std::lock_guard lock(mutex_);
  return active_ ? key_window_.lock() : nullptr;
}

std::shared_ptr<NSWindow> NSApplication::mainWindow() const {
  std::lock_guard lock(mutex_);
  return active_ ? main_window_.lock() : nullptr;
}

void NSApplication::setKeyWindow(const std::shared_ptr<NSWindow>& window) {
  changeFocus(&NSApplication::key_window_, window, &NSWindowDelegate::windowDidResignKey,
              "NSWindowDidResignKeyNotification", &NSWindowDelegate::windowDidBecomeKey,
              "NSWindowDidBecomeKeyNotification");
}

void NSApplication::setMainWindow(const std::shared_ptr<NSWindow>& window) {
  changeFocus(&NSApplication::main_window_, window, &NSWindowDelegate::windowDidResignMain,
              "NSWindowDidResignMainNotification", &NSWindowDelegate::windowDidBecomeMain,
              "NSWindowDidBecomeMainNotification");
}

void NSApplication::changeFocus(std::weak_ptr<NSWindow> NSApplication::*slot,
                                const std::shared_ptr<NSWindow>& window, FocusCallback resign,
                                const char* resignName, FocusCallback become,
                                const char* becomeName) {
  std::shared_ptr<NSWindow> previous;
  bool announce;
  {
    std::lock_guard lock(mutex_);
    previous = (this->*slot).lock();
    if (previous == window) return;
    this->*slot = window;
    // An inactive application only remembers the window for its next activation.
    announce = active_;
  }
  if (!announce) return;
  if (previous) previous->tellDelegate(resign, resignName);
  if (window) window->tellDelegate(become, becomeName);
}

bool NSApplication::isActive() const {
  std::lock_guard lock(mutex_);
  return active_;
}

void NSApplication::activateIgnoringOtherApps(bool ignoringOtherApps) {
  std::shared_ptr<NSWindow> key;
  std::shared_ptr<NSWindow> main;
  {
    std::lock_guard lock(mutex_);
    if (active_ || !ignoringOtherApps) return;
    active_ = true;
    key = key_window_.lock();
    main = main_window_.lock();
  }
  if (key)
    key->tellDelegate(&NSWindowDelegate::windowDidBecomeKey, "NSWindowDidBecomeKeyNotification");
  if (main) {
    main->tellDelegate(&NSWindowDelegate::windowDidBecomeMain, "NSWindowDidBecomeMainNotification");
  }
}

void NSApplication::deactivate() {
  std::shared_ptr<NSWindow> key;
  std::shared_ptr<NSWindow> main;
  {
    std::lock_guard lock(mutex_);
    if (!active_) return;
    active_ = false;
    key = key_window_.lock();
    main = main_window_.lock();
  }
  if (key)
    key->tellDelegate(&NSWindowDelegate::windowDidResignKey, "NSWindowDidResignKeyNotification");
  if (main) {
    main->tellDelegate(&NSWindowDelegate::windowDidResignMain, "NSWindowDidResignMainNotification");
  }
}

NSApplicationActivationPolicy NSApplication::activationPolicy() const {
  std::lock_guard lock(mutex_);
  return activation_policy_;
}

bool NSApplication::setActivationPolicy(NSApplicationActivationPolicy policy) {
  if (policy < NSApplicationActivationPolicyRegular ||
      policy > NSApplicationActivationPolicyProhibited) {
    return false;
  }
  std::lock_guard lock(mutex_);
  activation_policy_ = policy;
  return true;
}

std::shared_ptr<NSDockTile> NSApplication::dockTile() const {
  std::lock_guard lock(mutex_);
  return dock_tile_;
}

std::shared_ptr<NSImage> NSApplication::applicationIconImage() const {
  std::lock_guard lock(mutex_);
  return application_icon_;
}

void NSApplication::setApplicationIconImage(std::shared_ptr<NSImage> image) {
  std::lock_guard lock(mutex_);
  // Setting no image restores the bundle's icon.
  application_icon_ = image ? std::move(image) : defaultApplicationIcon();
}

std::shared_ptr<NSEvent> NSApplication::currentEvent() const {
  std::lock_guard lock(mutex_);
  return current_event_;
}

void NSApplication::setCurrentEvent(std::shared_ptr<NSEvent> event) {
  std::lock_guard lock(mutex_);
  current_event_ = std::move(event);
}

bool NSApplication::isProtectedDataAvailable() const {
  std::lock_guard lock(mutex_);
  return protected_data_available_;
}

void NSApplication::setProtectedDataAvailable(bool available) {
  std::lock_guard lock(mutex_);
  protected_data_available_ = available;
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
  // Windows and the delegate are released after the lock: their owners may call back in.
  std::vector<std::shared_ptr<NSWindow>> windows;
  std::shared_ptr<NSApplicationDelegate> app_delegate;
  std::lock_guard lock(mutex_);
  windows.swap(windows_);
  app_delegate.swap(delegate_);
  ordered_windows_.clear();
  key_window_.reset();
  main_window_.reset();
  active_ = true;
  activation_policy_ = NSApplicationActivationPolicyRegular;
  dock_tile_ = std::make_shared<NSDockTile>();
  application_icon_ = defaultApplicationIcon();
  current_event_.reset();
  protected_data_available_ = true;
  terminated_ = false;
  running_ = false;
}

int NSApplicationMain(int /*argc*/, const char* /*argv*/[],
                      const NSInterfaceDescription& description) {
  auto& application = NSApplication::sharedApplication();
  application.reset();

  auto app_delegate = description.makeDelegate ? description.makeDelegate() : nullptr;
  application.setDelegate(app_delegate);
  NSNotification will_finish{"NSApplicationWillFinishLaunchingNotification", nullptr, {}};
  if (app_delegate) app_delegate->applicationWillFinishLaunching(will_finish);

  if (description.makeMainWindow) {
    auto window =
        description.makeMainWindow(description.mainWindowContentRect, description.mainWindowStyle,
                                   NSBackingStoreBuffered, false);
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
