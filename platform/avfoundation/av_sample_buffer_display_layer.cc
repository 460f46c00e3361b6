#include "platform/avfoundation/av_sample_buffer_display_layer.h"

bool AVSampleBufferVideoRenderer::requiresFlushToResumeDecoding() const {
  std::lock_guard lock(mutex_);
  return requires_flush_;
}

void AVSampleBufferVideoRenderer::flushWithRemovalOfDisplayedImage(
    bool removingDisplayedImage, std::function<void()> completionHandler) {
  {
    std::lock_guard lock(mutex_);
    requires_flush_ = false;
    ++flushes_;
    if (removingDisplayedImage) displayed_.reset();
  }
  if (completionHandler) completionHandler();
}

void AVSampleBufferVideoRenderer::enqueueSampleBuffer(const CMSampleBufferRef& sampleBuffer) {
  std::lock_guard lock(mutex_);
  // A renderer that needs a flush decodes nothing until it gets one.
  if (requires_flush_ || !sampleBuffer) return;
  ++enqueued_;
  displayed_ = sampleBuffer;
}

CMSampleBufferRef AVSampleBufferVideoRenderer::displayedSampleBuffer() const {
  std::lock_guard lock(mutex_);
  return displayed_;
}

size_t AVSampleBufferVideoRenderer::enqueuedCount() const {
  std::lock_guard lock(mutex_);
  return enqueued_;
}

size_t AVSampleBufferVideoRenderer::flushCount() const {
  std::lock_guard lock(mutex_);
  return flushes_;
}

std::string AVSampleBufferDisplayLayer::videoGravity() const {
  std::lock_guard lock(mutex_);
  return video_gravity_;
}

void AVSampleBufferDisplayLayer::setVideoGravity(std::string gravity) {
  std::lock_guard lock(mutex_);
  video_gravity_ = std::move(gravity);
}

CGRect AVSampleBufferDisplayLayer::frame() const {
  std::lock_guard lock(mutex_);
  return frame_;
}

void AVSampleBufferDisplayLayer::setFrame(CGRect frame) {
  std::lock_guard lock(mutex_);
  frame_ = frame;
}

CATransform3D AVSampleBufferDisplayLayer::transform() const {
  std::lock_guard lock(mutex_);
  return transform_;
}

void AVSampleBufferDisplayLayer::setTransform(const CATransform3D& transform) {
  std::lock_guard lock(mutex_);
  transform_ = transform;
}

// This model has no animations; layout changes apply at once.
void AVSampleBufferDisplayLayer::removeAllAnimations() {}
