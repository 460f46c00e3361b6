// The player's buffering preferences, shared by reference with every URI source of the player.
// The two optional numbers keep the Dart side's three cases apart: absent (nullopt), the null
// value, or a number.
#pragma once

#include <optional>

#include "platform/flutter/value.h"

namespace playlist_audio {

class LoadControl {
 public:
  // Whole microseconds.
  const std::optional<flutter::Value>& preferredForwardBufferDuration() const {
    return forward_buffer_duration_;
  }
  void setPreferredForwardBufferDuration(std::optional<flutter::Value> value) {
    forward_buffer_duration_ = std::move(value);
  }
  bool canUseNetworkResourcesForLiveStreamingWhilePaused() const { return network_while_paused_; }
  void setCanUseNetworkResourcesForLiveStreamingWhilePaused(bool can) {
    network_while_paused_ = can;
  }
  // Bits per second.
  const std::optional<flutter::Value>& preferredPeakBitRate() const { return peak_bit_rate_; }
  void setPreferredPeakBitRate(std::optional<flutter::Value> value) {
    peak_bit_rate_ = std::move(value);
  }

 private:
  std::optional<flutter::Value> forward_buffer_duration_;
  bool network_while_paused_ = false;
  std::optional<flutter::Value> peak_bit_rate_;
};

}  // namespace playlist_audio
