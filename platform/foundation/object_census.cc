#include "platform/foundation/object_census.h"

#include <atomic>

namespace foundation::census {
namespace {

std::atomic<int64_t> live_objects{0};

}  // namespace

void objectMade() { live_objects.fetch_add(1, std::memory_order_relaxed); }
void objectReleased() { live_objects.fetch_sub(1, std::memory_order_relaxed); }
int64_t liveObjects() { return live_objects.load(std::memory_order_relaxed); }

}  // namespace foundation::census
