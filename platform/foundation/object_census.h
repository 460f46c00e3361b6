// The count of live objects of the runtime, kept for the test controls.
#pragma once

#include <cstdint>

namespace foundation::census {

void objectMade();
void objectReleased();
int64_t liveObjects();

}  // namespace foundation::census
