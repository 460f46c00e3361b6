// Probing a media file reads it, and may take a while: probes run on the shared pool a few at a
// time, in the order they were asked for, so that a player opening hundreds of files never holds a
// thread for each. A probe that has not ended after kProbeSlotHold gives its slot to the next one
// waiting (it goes on, and ends by its own deadline), so a slow or stuck file never holds up the
// probes of other players; but at most kMostProbesRunning run at once, with their slots or without,
// and the pictures all probes decode at once stay within kProbePixelBudget. Safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace avfoundation::internal {

// Probes running at once, at most, unless some have run longer than kProbeSlotHold.
inline constexpr int kConcurrentProbes = 4;
inline constexpr std::chrono::milliseconds kProbeSlotHold{1000};
// Probes running at once, at most, counting those that gave up their slots.
inline constexpr int kMostProbesRunning = 2 * kConcurrentProbes;

void runProbe(std::function<void()> probe);

// Pixels of the pictures that every probe of the process (the assets' and the decoders') may be
// decoding at once: two of the largest pictures the host plays.
inline constexpr int64_t kProbePixelBudget = 2 * int64_t{8192} * 8192;

// A probe's share of kProbePixelBudget, held while it decodes, returned when destroyed.
class ProbePixels {
 public:
  // Waits, in turn with others, until `pixels` (at most kProbePixelBudget) fit in what the other
  // probes hold; nullopt once `stop` says to stop waiting (asked every few milliseconds).
  static std::optional<ProbePixels> reserve(int64_t pixels, const std::function<bool()>& stop);
  // What all probes hold now, and how many wait for their share.
  static int64_t held();
  static size_t waiting();

  ProbePixels(ProbePixels&& other) noexcept : pixels_(std::exchange(other.pixels_, 0)) {}
  ProbePixels& operator=(ProbePixels&&) = delete;
  ~ProbePixels();

 private:
  explicit ProbePixels(int64_t pixels) : pixels_(pixels) {}
  int64_t pixels_;
};

}  // namespace avfoundation::internal
