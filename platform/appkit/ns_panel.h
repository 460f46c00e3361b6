// Panels: auxiliary windows (inspectors, palettes, dialogs). A panel can become key but never
// main; with the non-activating style it takes keyboard input without activating the application.
#pragma once

#include "platform/appkit/ns_window.h"

class NSPanel : public NSWindow {
 public:
  using NSWindow::NSWindow;

  bool canBecomeMainWindow() const override { return false; }
};
