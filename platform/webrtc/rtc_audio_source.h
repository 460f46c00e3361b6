// The source of an audio track, with its playout volume (0 to 10).
#pragma once

#include <mutex>

#include "platform/webrtc/rtc_media_constraints.h"

class RTCAudioSource {
 public:
  explicit RTCAudioSource(RTCMediaConstraints constraints = {})
      : constraints_(std::move(constraints)) {}

  const RTCMediaConstraints& constraints() const { return constraints_; }
  double volume() const {
    std::lock_guard lock(mutex_);
    return volume_;
  }
  void setVolume(double volume) {
    std::lock_guard lock(mutex_);
    volume_ = volume;
  }

 private:
  RTCMediaConstraints constraints_;
  mutable std::mutex mutex_;
  double volume_ = 1.0;
};
