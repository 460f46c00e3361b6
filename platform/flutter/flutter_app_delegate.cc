#include "platform/flutter/flutter_app_delegate.h"

void FlutterAppDelegate::applicationDidFinishLaunching(const NSNotification& /*notification*/) {
  launching_finished_ = true;
}
