#include "host/app_delegate.h"

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed(NSApplication& /*sender*/) {
  return true;
}

bool AppDelegate::applicationSupportsSecureRestorableState(NSApplication& /*sender*/) {
  return true;
}

void AppDelegate::applicationDidFinishLaunching(const NSNotification& /*notification*/) {}
