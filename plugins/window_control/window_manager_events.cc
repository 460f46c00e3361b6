// The main window's delegate callbacks: each turns a change of the window into events for the
// Dart side, and the close and zoom callbacks decide whether the change may happen.
#include "platform/appkit/ns_panel.h"
#include "plugins/window_control/window_manager.h"

namespace window_control {

void WindowManager::emitWindowEvent(const std::string& eventName) {
  if (onEvent) onEvent(eventName);
}

bool WindowManager::windowShouldClose(NSWindow& /*sender*/) {
  emitWindowEvent("close");
  return !prevent_close_;
}

bool WindowManager::windowShouldZoom(NSWindow& /*window*/, NSRect /*newFrame*/) {
  // Sent whichever way the zoom goes; the resize that follows tells which it was.
  emitWindowEvent("maximize");
  return maximizable_;
}

void WindowManager::windowDidResize(const NSNotification& /*notification*/) {
  emitWindowEvent("resize");
  if (!main_window_) return;
  if (!maximized_ && main_window_->isZoomed()) {
    maximized_ = true;
    emitWindowEvent("maximize");
  }
  if (maximized_ && !main_window_->isZoomed()) {
    maximized_ = false;
    emitWindowEvent("unmaximize");
  }
}

void WindowManager::windowDidEndLiveResize(const NSNotification& /*notification*/) {
  emitWindowEvent("resized");
}

void WindowManager::windowWillMove(const NSNotification& /*notification*/) {
  emitWindowEvent("move");
}

void WindowManager::windowDidMove(const NSNotification& /*notification*/) {
  emitWindowEvent("moved");
}

// A panel never becomes main, so its focus shows in the key-window callbacks only.
void WindowManager::windowDidBecomeKey(const NSNotification& /*notification*/) {
  if (mainWindowIsPanel()) emitWindowEvent("focus");
}

void WindowManager::windowDidResignKey(const NSNotification& /*notification*/) {
  if (mainWindowIsPanel()) emitWindowEvent("blur");
}

void WindowManager::windowDidBecomeMain(const NSNotification& /*notification*/) {
  emitWindowEvent("focus");
}

void WindowManager::windowDidResignMain(const NSNotification& /*notification*/) {
  emitWindowEvent("blur");
}

void WindowManager::windowDidMiniaturize(const NSNotification& /*notification*/) {
  emitWindowEvent("minimize");
}

void WindowManager::windowDidDeminiaturize(const NSNotification& /*notification*/) {
  emitWindowEvent("restore");
}

void WindowManager::windowDidEnterFullScreen(const NSNotification& /*notification*/) {
  emitWindowEvent("enter-full-screen");
}

void WindowManager::windowDidExitFullScreen(const NSNotification& /*notification*/) {
  emitWindowEvent("leave-full-screen");
}

}  // namespace window_control
