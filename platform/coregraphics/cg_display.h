// Displays and the screen-capture permission of the process.
#pragma once

#include <cstdint>

using CGDirectDisplayID = uint32_t;

// The display that holds the menu bar.
CGDirectDisplayID CGMainDisplayID();

// Whether the process may capture the screen, without asking the user.
bool CGPreflightScreenCaptureAccess();
// Asks the user (once per process, as the system does) and answers whether access is granted.
bool CGRequestScreenCaptureAccess();
