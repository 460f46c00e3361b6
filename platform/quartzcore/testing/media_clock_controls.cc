#include "platform/quartzcore/testing/media_clock_controls.h"

#include "platform/quartzcore/internal/media_clock.h"

namespace quartzcore::testing {

void setMediaTime(CFTimeInterval seconds) { internal::pinMediaClock(seconds); }

void advanceMediaTime(CFTimeInterval seconds) {
  internal::pinMediaClock(CACurrentMediaTime() + seconds);
}

void useMachineClock() { internal::pinMediaClock(std::nullopt); }

}  // namespace quartzcore::testing
