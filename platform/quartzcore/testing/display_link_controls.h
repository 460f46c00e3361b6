// Test controls for screen display links: the display's refresh period and its refreshes.
#pragma once

#include "platform/quartzcore/ca_media_timing.h"

namespace quartzcore::testing {

// The refresh period display links report (1/60 s until changed).
void setDisplayRefreshPeriod(CFTimeInterval seconds);
// One refresh: every scheduled, unpaused, valid link calls its target, on the calling thread,
// which must be the main thread. Answers how many links fired.
int refreshDisplay();
// While held, display links tick only through refreshDisplay instead of on their own at the
// refresh period. Not held at launch.
void holdDisplayRefresh(bool held);
// True while the automatic refresh has no timer armed: no link runs, or the refresh is held.
bool displayRefreshIsIdle();

}  // namespace quartzcore::testing
