// Sits between a capturer and its video source: every captured frame passes through the
// registered processors, in order, before the source takes it. Frames arrive on the capturer's
// thread; the processor list may change from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/webrtc/rtc_video_capturer.h"
#include "platform/webrtc/rtc_video_source.h"

namespace webrtc_host {

class VideoFrameProcessor {
 public:
  virtual ~VideoFrameProcessor() = default;
  virtual std::shared_ptr<RTCVideoFrame> onFrame(const std::shared_ptr<RTCVideoFrame>& frame) = 0;
};

class VideoProcessingAdapter : public RTCVideoCapturerDelegate {
 public:
  explicit VideoProcessingAdapter(std::shared_ptr<RTCVideoSource> videoSource)
      : video_source_(std::move(videoSource)) {}

  const std::shared_ptr<RTCVideoSource>& source() const { return video_source_; }
  void addProcessing(const std::shared_ptr<VideoFrameProcessor>& processor);
  // Removes every entry of that processor.
  void removeProcessing(const std::shared_ptr<VideoFrameProcessor>& processor);
  void setSize(CGSize size);

  void capturer(RTCVideoCapturer& capturer, const std::shared_ptr<RTCVideoFrame>& frame) override;

 private:
  std::shared_ptr<RTCVideoSource> video_source_;
  std::mutex lock_;
  CGSize frame_size_;
  // Replaced whole on every change.
  std::shared_ptr<const std::vector<std::shared_ptr<VideoFrameProcessor>>> processors_ =
      std::make_shared<const std::vector<std::shared_ptr<VideoFrameProcessor>>>();
};

}  // namespace webrtc_host
