// The application: its delegate, its windows and the main thread's run loop. One per process.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/appkit/ns_application_delegate.h"
#include "platform/appkit/ns_window.h"

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

class NSApplication {
 public:
  static NSApplication& sharedApplication();

  std::shared_ptr<NSApplicationDelegate> delegate() const;
  void setDelegate(std::shared_ptr<NSApplicationDelegate> delegate);

  std::vector<std::shared_ptr<NSWindow>> windows() const;
  std::shared_ptr<NSWindow> mainWindow() const;
  void addWindow(const std::shared_ptr<NSWindow>& window);
  // Called by a window as it closes; ends the application after the last one if the delegate
  // agrees.
  void windowDidClose(const std::shared_ptr<NSWindow>& window);

  // Runs the main queue until terminate. Call on the main thread.
  void run();
  void terminate();
  bool isRunning() const { return running_; }

  // Forgets the windows, the delegate and a finished run, so that a process can run again.
  void reset();

 private:
  NSApplication() = default;

  mutable std::mutex mutex_;
  std::shared_ptr<NSApplicationDelegate> delegate_;
  std::vector<std::shared_ptr<NSWindow>> windows_;
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
// terminates. SIGINT and SIGTERM close the main window. Answers the exit status.
int NSApplicationMain(int argc, const char* argv[], const NSInterfaceDescription& description);
