// Probing a media file reads it, and may take a while: probes run on the shared pool a few at a
// time, in the order they were asked for, so that a player opening hundreds of files never holds a
// thread for each. Safe from any thread.
#pragma once

#include <functional>

namespace avfoundation::internal {

// Probes running at once, at most.
inline constexpr int kConcurrentProbes = 4;

void runProbe(std::function<void()> probe);

}  // namespace avfoundation::internal
