// The source of video tracks: captured frames go to every enabled track made from it.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/webrtc/rtc_video_capturer.h"

class RTCVideoTrack;

class RTCVideoSource : public RTCVideoCapturerDelegate {
 public:
  explicit RTCVideoSource(bool isScreencast = false) : is_screencast_(isScreencast) {}

  bool isScreencast() const { return is_screencast_; }

  // Hands the frame to the tracks, on the calling (frame-delivery) thread.
  void capturer(RTCVideoCapturer& capturer, const std::shared_ptr<RTCVideoFrame>& frame) override;

 private:
  friend class RTCVideoTrack;
  void attachTrack(const std::shared_ptr<RTCVideoTrack>& track);

  bool is_screencast_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<RTCVideoTrack>> tracks_;
};
