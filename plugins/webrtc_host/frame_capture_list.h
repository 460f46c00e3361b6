// Every frame capture still waiting for its frame: each is kept until it has answered, so
// overlapping captures all answer.
#pragma once

#include <memory>
#include <vector>

#include "platform/flutter/flutter.h"
#include "plugins/webrtc_host/host_rtc_frame_capturer.h"

namespace webrtc_host {

class FrameCaptureList {
 public:
  void add(std::shared_ptr<HostRTCFrameCapturer> capturer) {
    captures_.push_back(std::move(capturer));
  }
  void remove(const HostRTCFrameCapturer& done) {
    std::erase_if(captures_, [&done](const auto& entry) { return entry.get() == &done; });
  }
  bool empty() const { return captures_.empty(); }
  // A copy: an abandoned capture removes itself from the list.
  std::vector<std::shared_ptr<HostRTCFrameCapturer>> pending() const { return captures_; }
  // Answers every pending capture with the error, keeping none.
  void abandonAll(const FlutterError& error) {
    for (const auto& capturer : std::exchange(captures_, {})) capturer->abandon(error);
  }

 private:
  std::vector<std::shared_ptr<HostRTCFrameCapturer>> captures_;
};

}  // namespace webrtc_host
