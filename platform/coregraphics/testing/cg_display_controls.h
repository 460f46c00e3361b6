// Test controls for displays and the screen-capture permission.
#pragma once

#include "platform/coregraphics/cg_display.h"

namespace coregraphics::testing {

void setMainDisplayID(CGDirectDisplayID display);

// Whether access is already granted (preflight answers this).
void setScreenCaptureAccess(bool granted);
// What the user answers when asked; a granting answer also grants later preflights.
void setScreenCaptureRequestAnswer(bool grant);
// How many times the user was asked.
int screenCaptureRequestCount();

// Restores the defaults: main display 1, no access, the user refuses, nobody asked.
void resetDisplayControls();

}  // namespace coregraphics::testing
