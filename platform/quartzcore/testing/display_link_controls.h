// Test controls for screen display links: the display's refresh period and its refreshes.
#pragma once

#include "platform/quartzcore/ca_media_timing.h"

namespace quartzcore::testing {

// The refresh period display links report (1/60 s until changed).
void setDisplayRefreshPeriod(CFTimeInterval seconds);
// One refresh: every scheduled, unpaused, valid link calls its target, on the calling thread,
// which must be the main thread. Answers how many links fired.
int refreshDisplay();

}  // namespace quartzcore::testing
