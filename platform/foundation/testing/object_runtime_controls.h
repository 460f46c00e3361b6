// Test controls of the object runtime.
#pragma once

#include <cstdint>

namespace foundation::testing {

// Objects of the runtime alive in the process right now, to check that releasing the last
// reference really released an object graph.
int64_t liveObjectCount();

}  // namespace foundation::testing
