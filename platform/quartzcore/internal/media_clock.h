// The media clock's pin, for the test controls.
#pragma once

#include <optional>

#include "platform/quartzcore/ca_media_timing.h"

namespace quartzcore::internal {

// nullopt follows the machine's clock.
void pinMediaClock(std::optional<CFTimeInterval> seconds);

}  // namespace quartzcore::internal
