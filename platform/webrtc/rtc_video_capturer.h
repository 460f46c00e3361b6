// Video capturers hand frames to their delegate (usually a video source), which they hold weakly.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_video_frame.h"

class RTCVideoCapturer;

class RTCVideoCapturerDelegate {
 public:
  virtual ~RTCVideoCapturerDelegate() = default;
  virtual void capturer(RTCVideoCapturer& capturer,
                        const std::shared_ptr<RTCVideoFrame>& frame) = 0;
};

class RTCVideoCapturer {
 public:
  explicit RTCVideoCapturer(std::weak_ptr<RTCVideoCapturerDelegate> delegate)
      : delegate_(std::move(delegate)) {}
  virtual ~RTCVideoCapturer() = default;
  RTCVideoCapturer(const RTCVideoCapturer&) = delete;
  RTCVideoCapturer& operator=(const RTCVideoCapturer&) = delete;

  std::shared_ptr<RTCVideoCapturerDelegate> delegate() const { return delegate_.lock(); }

 private:
  std::weak_ptr<RTCVideoCapturerDelegate> delegate_;
};
