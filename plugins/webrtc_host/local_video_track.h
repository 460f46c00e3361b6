// A local video track, with the adapter that feeds its source when it has one.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_video_track.h"
#include "plugins/webrtc_host/local_track.h"
#include "plugins/webrtc_host/video_processing_adapter.h"

namespace webrtc_host {

class LocalVideoTrack : public LocalTrack {
 public:
  explicit LocalVideoTrack(std::shared_ptr<RTCVideoTrack> track,
                           std::shared_ptr<VideoProcessingAdapter> processing = nullptr)
      : track_(std::move(track)), processing_(std::move(processing)) {}

  std::shared_ptr<RTCMediaStreamTrack> track() const override { return track_; }
  const std::shared_ptr<RTCVideoTrack>& videoTrack() const { return track_; }
  const std::shared_ptr<VideoProcessingAdapter>& processing() const { return processing_; }

  void addRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer) {
    track_->addRenderer(renderer);
  }
  void removeRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer) {
    track_->removeRenderer(renderer);
  }
  void addProcessing(const std::shared_ptr<VideoFrameProcessor>& processor) {
    if (processing_) processing_->addProcessing(processor);
  }
  void removeProcessing(const std::shared_ptr<VideoFrameProcessor>& processor) {
    if (processing_) processing_->removeProcessing(processor);
  }

 private:
  std::shared_ptr<RTCVideoTrack> track_;
  std::shared_ptr<VideoProcessingAdapter> processing_;
};

}  // namespace webrtc_host
