#include "plugins/webrtc_host/video_processing_adapter.h"

#include <algorithm>

namespace webrtc_host {

using ProcessorList = std::vector<std::shared_ptr<VideoFrameProcessor>>;

void VideoProcessingAdapter::addProcessing(const std::shared_ptr<VideoFrameProcessor>& processor) {
  std::lock_guard lock(lock_);
  auto copy = std::make_shared<ProcessorList>(*processors_);
  copy->push_back(processor);
  processors_ = std::move(copy);
}

void VideoProcessingAdapter::removeProcessing(
    const std::shared_ptr<VideoFrameProcessor>& processor) {
  std::lock_guard lock(lock_);
  auto copy = std::make_shared<ProcessorList>(*processors_);
  std::erase(*copy, processor);
  processors_ = std::move(copy);
}

void VideoProcessingAdapter::setSize(CGSize size) {
  std::lock_guard lock(lock_);
  frame_size_ = size;
}

void VideoProcessingAdapter::capturer(RTCVideoCapturer& capturer,
                                      const std::shared_ptr<RTCVideoFrame>& frame) {
  // The lock is held while the source takes the frame, so a change waits for it.
  std::lock_guard lock(lock_);
  std::shared_ptr<RTCVideoFrame> processed = frame;
  for (const auto& processor : *processors_) processed = processor->onFrame(processed);
  if (video_source_ && processed) video_source_->capturer(capturer, processed);
}

}  // namespace webrtc_host
