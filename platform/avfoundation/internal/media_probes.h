// Probing a media file reads it, and may take a while: probes run on the shared pool a few at a
// time, in the order they were asked for, so that a player opening hundreds of files never holds a
// thread for each. A probe that has not ended after kProbeSlotHold gives its slot to the next one
// waiting (it goes on, and ends by its own deadline), so a slow or stuck file never holds up the
// probes of other players. Safe from any thread.
#pragma once

#include <chrono>
#include <functional>

namespace avfoundation::internal {

// Probes running at once, at most, unless some have run longer than kProbeSlotHold.
inline constexpr int kConcurrentProbes = 4;
inline constexpr std::chrono::milliseconds kProbeSlotHold{1000};

void runProbe(std::function<void()> probe);

}  // namespace avfoundation::internal
