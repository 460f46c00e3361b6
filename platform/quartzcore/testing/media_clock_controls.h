// Test controls for the media clock: pin it to a value and move it by hand.
#pragma once

#include "platform/quartzcore/ca_media_timing.h"

namespace quartzcore::testing {

// From now on CACurrentMediaTime answers `seconds` until moved or released.
void setMediaTime(CFTimeInterval seconds);
void advanceMediaTime(CFTimeInterval seconds);
// CACurrentMediaTime follows the machine's monotonic clock again.
void useMachineClock();

}  // namespace quartzcore::testing
