// What an application asks of its delegate. Every answer has the platform's default.
#pragma once

#include "platform/foundation/ns_notification_center.h"

class NSApplication;

class NSApplicationDelegate {
 public:
  virtual ~NSApplicationDelegate() = default;

  virtual void applicationWillFinishLaunching(const NSNotification& /*notification*/) {}
  virtual void applicationDidFinishLaunching(const NSNotification& /*notification*/) {}
  virtual bool applicationShouldTerminateAfterLastWindowClosed(NSApplication& /*sender*/) {
    return false;
  }
  virtual bool applicationSupportsSecureRestorableState(NSApplication& /*sender*/) { return false; }
  virtual void applicationWillTerminate(const NSNotification& /*notification*/) {}
};
