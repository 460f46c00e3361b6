// The engine's application delegate, base of the application's own delegate.
#pragma once

#include "platform/appkit/ns_application_delegate.h"

class FlutterAppDelegate : public NSApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const NSNotification& notification) override;
  bool launchingFinished() const { return launching_finished_; }

 private:
  bool launching_finished_ = false;
};
