// What a window asks of and tells its delegate. The notifications carry the window as their
// object. Every callback has the platform's default.
#pragma once

#include "platform/coregraphics/cg_geometry.h"
#include "platform/foundation/ns_notification_center.h"

class NSWindow;

class NSWindowDelegate {
 public:
  virtual ~NSWindowDelegate() = default;

  // Asked before the window closes at the user's (or performClose's) request.
  virtual bool windowShouldClose(NSWindow& /*sender*/) { return true; }
  // Asked before the window zooms in to, or back out to, `newFrame`.
  virtual bool windowShouldZoom(NSWindow& /*window*/, NSRect /*newFrame*/) { return true; }

  virtual void windowDidResize(const NSNotification& /*notification*/) {}
  virtual void windowDidEndLiveResize(const NSNotification& /*notification*/) {}
  // The user started moving the window.
  virtual void windowWillMove(const NSNotification& /*notification*/) {}
  virtual void windowDidMove(const NSNotification& /*notification*/) {}
  virtual void windowDidBecomeKey(const NSNotification& /*notification*/) {}
  virtual void windowDidResignKey(const NSNotification& /*notification*/) {}
  virtual void windowDidBecomeMain(const NSNotification& /*notification*/) {}
  virtual void windowDidResignMain(const NSNotification& /*notification*/) {}
  virtual void windowDidMiniaturize(const NSNotification& /*notification*/) {}
  virtual void windowDidDeminiaturize(const NSNotification& /*notification*/) {}
  virtual void windowDidEnterFullScreen(const NSNotification& /*notification*/) {}
  virtual void windowDidExitFullScreen(const NSNotification& /*notification*/) {}
};
