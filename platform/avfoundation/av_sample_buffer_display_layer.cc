#include "platform/avfoundation/av_sample_buffer_display_layer.h"

#include <cmath>

OSStatus CMVideoFormatDescriptionCreateForImageBuffer(const CVPixelBufferRef& imageBuffer,
                                                      CMVideoFormatDescriptionRef* out) {
  if (!imageBuffer || out == nullptr) return kCMFormatDescriptionError_InvalidParameter;
  *out = std::make_shared<CMVideoFormatDescription>(CMVideoFormatDescription{
      imageBuffer->pixelFormatType(),
      {static_cast<int32_t>(imageBuffer->width()), static_cast<int32_t>(imageBuffer->height())}});
  return noErr;
}

OSStatus CMSampleBufferCreateReadyWithImageBuffer(const CVPixelBufferRef& imageBuffer,
                                                  const CMVideoFormatDescriptionRef& format,
                                                  const CMSampleTimingInfo& timing,
                                                  CMSampleBufferRef* out) {
  if (!imageBuffer || !format || out == nullptr) {
    return kCMSampleBufferError_RequiredParameterMissing;
  }
  const bool matches = format->mediaSubType == imageBuffer->pixelFormatType() &&
                       format->dimensions.width == static_cast<int32_t>(imageBuffer->width()) &&
                       format->dimensions.height == static_cast<int32_t>(imageBuffer->height());
  if (!matches) return kCMFormatDescriptionError_InvalidParameter;
  *out = std::make_shared<CMSampleBuffer>(imageBuffer, format, timing);
  return noErr;
}

CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return CATransform3DIdentity;
  x /= length;
  y /= length;
  z /= length;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1 - c;
  CATransform3D r;
  r.m[0][0] = t * x * x + c;
  r.m[0][1] = t * x * y + s * z;
  r.m[0][2] = t * x * z - s * y;
  r.m[1][0] = t * x * y - s * z;
  r.m[1][1] = t * y * y + c;
  r.m[1][2] = t * y * z + s * x;
  r.m[2][0] = t * x * z + s * y;
  r.m[2][1] = t * y * z - s * x;
  r.m[2][2] = t * z * z + c;
  return r;
}

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
