// The application's delegate: the application ends with its last window and supports secure
// restorable state.
#pragma once

#include "platform/flutter/flutter_app_delegate.h"

class AppDelegate : public FlutterAppDelegate {
 public:
  bool applicationShouldTerminateAfterLastWindowClosed(NSApplication& sender) override;
  bool applicationSupportsSecureRestorableState(NSApplication& sender) override;
  // Nothing to do at launch; the engine's default is deliberately not run.
  void applicationDidFinishLaunching(const NSNotification& notification) override;
};
