// The application: its delegate, its windows and the main thread's run loop. One per process.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/appkit/ns_application_delegate.h"
#include "platform/appkit/ns_dock_tile.h"
#include "platform/appkit/ns_event.h"
#include "platform/appkit/ns_image.h"
#include "platform/appkit/ns_window.h"

namespace appkit::testing {
struct ModelAccess;
}

inline const std::string NSApplicationDidFinishLaunchingNotification =
    "NSApplicationDidFinishLaunchingNotification";
inline const std::string NSApplicationWillTerminateNotification =
    "NSApplicationWillTerminateNotification";
inline const std::string NSApplicationProtectedDataDidBecomeAvailableNotification =
    "NSApplicationProtectedDataDidBecomeAvailableNotification";
inline const std::string NSApplicationProtectedDataWillBecomeUnavailableNotification =
    "NSApplicationProtectedDataWillBecomeUnavailableNotification";
inline const std::string NSApplicationDidChangeScreenParametersNotification =
    "NSApplicationDidChangeScreenParametersNotification";

enum NSApplicationActivationPolicy : long {
  NSApplicationActivationPolicyRegular = 0,
  NSApplicationActivationPolicyAccessory = 1,
  NSApplicationActivationPolicyProhibited = 2,
};

class NSApplication {
 public:
  static NSApplication& sharedApplication();

  std::shared_ptr<NSApplicationDelegate> delegate() const;
  void setDelegate(std::shared_ptr<NSApplicationDelegate> delegate);

  std::vector<std::shared_ptr<NSWindow>> windows() const;
  // The visible windows, front to back.
  std::vector<std::shared_ptr<NSWindow>> orderedWindows() const;
  void addWindow(const std::shared_ptr<NSWindow>& window);
  // Called by a window as it closes; ends the application after the last one if the delegate
  // agrees.
  void windowDidClose(const std::shared_ptr<NSWindow>& window);

  // The window that takes keyboard input and the window in front that the user works in (a
  // panel may be key but never main). Both are null while the application is inactive; they
  // come back when it is activated again.
  std::shared_ptr<NSWindow> keyWindow() const;
  std::shared_ptr<NSWindow> mainWindow() const;

  // The application starts active. Without `ignoringOtherApps` an inactive application stays
  // inactive, since another one is in front.
  bool isActive() const;
  void activateIgnoringOtherApps(bool ignoringOtherApps);
  void deactivate();
  NSApplicationActivationPolicy activationPolicy() const;
  // Answers whether the policy was accepted.
  bool setActivationPolicy(NSApplicationActivationPolicy policy);

  std::shared_ptr<NSDockTile> dockTile() const;
  std::shared_ptr<NSImage> applicationIconImage() const;
  void setApplicationIconImage(std::shared_ptr<NSImage> image);
  // The event being handled; null between events.
  std::shared_ptr<NSEvent> currentEvent() const;
  // Whether the user's protected files and keychain can be read now; true at launch.
  bool isProtectedDataAvailable() const;

  // Runs the main queue until terminate. Call on the main thread. The process is not exited here:
  // NSApplicationMain returns and its caller exits.
  void run();
  void terminate();
  bool isRunning() const { return running_; }

  // Forgets the windows, the delegate, a finished run and every other piece of application state,
  // so that a process can run again.
  void reset();

 private:
  friend class NSWindow;
  friend struct appkit::testing::ModelAccess;
  using FocusCallback = void (NSWindowDelegate::*)(const NSNotification&);

  NSApplication();

  // Kept current by the windows.
  void windowOrderedFront(const std::shared_ptr<NSWindow>& window);
  void windowOrderedBack(const std::shared_ptr<NSWindow>& window);
  // The window was ordered out, miniaturized or closed: it is no longer key, main or in the order.
  void windowLeftScreen(const std::shared_ptr<NSWindow>& window);
  void setKeyWindow(const std::shared_ptr<NSWindow>& window);
  void setMainWindow(const std::shared_ptr<NSWindow>& window);
  void changeFocus(std::weak_ptr<NSWindow> NSApplication::*slot,
                   const std::shared_ptr<NSWindow>& window, FocusCallback resign,
                   const char* resignName, FocusCallback become, const char* becomeName);
  void setCurrentEvent(std::shared_ptr<NSEvent> event);
  void setProtectedDataAvailable(bool available);

  mutable std::mutex mutex_;
  std::shared_ptr<NSApplicationDelegate> delegate_;
  std::vector<std::shared_ptr<NSWindow>> windows_;
  std::vector<std::weak_ptr<NSWindow>> ordered_windows_;
  std::weak_ptr<NSWindow> key_window_;
  std::weak_ptr<NSWindow> main_window_;
  bool active_ = true;
  NSApplicationActivationPolicy activation_policy_ = NSApplicationActivationPolicyRegular;
  std::shared_ptr<NSDockTile> dock_tile_;
  std::shared_ptr<NSImage> application_icon_;
  std::shared_ptr<NSEvent> current_event_;
  bool protected_data_available_ = true;
  std::atomic<bool> running_{false};
  std::atomic<bool> terminated_{false};
};

// The interface description that the application main routine loads: which delegate to create
// and which window, with what frame and style.
struct NSInterfaceDescription {
  std::function<std::shared_ptr<NSApplicationDelegate>()> makeDelegate;
  std::function<std::shared_ptr<NSWindow>(NSRect, NSWindowStyleMask, NSBackingStoreType, bool)>
      makeMainWindow;
  NSRect mainWindowContentRect = NSMakeRect(0, 0, 800, 600);
  NSWindowStyleMask mainWindowStyle = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                      NSWindowStyleMaskMiniaturizable | NSWindowStyleMaskResizable;
  std::string mainWindowTitle;
};

// Creates the delegate and the main window from the description (the window's awakeFromNib runs
// then), tells the delegate that launching finished and runs the main queue until the application
// terminates. Signals are the process entry's (the host's signal policy, host/signal_policy.h,
// closes the main window on SIGINT and SIGTERM). Answers the exit status.
int NSApplicationMain(int argc, const char* argv[], const NSInterfaceDescription& description);
