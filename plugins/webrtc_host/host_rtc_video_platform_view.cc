#include "plugins/webrtc_host/host_rtc_video_platform_view.h"

#include <numbers>

#include "platform/foundation/ns_process_info.h"
#include "plugins/webrtc_host/i420_pixel_buffer_writer.h"

namespace webrtc_host {
namespace {

bool isAtLeastMacOS(long major) {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({major, 0, 0});
}

}  // namespace

HostRTCVideoPlatformView::HostRTCVideoPlatformView(NSRect frame)
    : NSView(frame),
      video_layer_(std::make_shared<AVSampleBufferDisplayLayer>()),
      sample_buffer_queue_(dispatch_queue_create(
          "com.velmora.webrtchost.video-platform-view.sample-buffer", DISPATCH_QUEUE_SERIAL)) {
  video_layer_->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
  video_layer_->setFrame(CGRectZero);
}

void HostRTCVideoPlatformView::setFrame(NSRect frame) {
  NSView::setFrame(frame);
  layout();
}

void HostRTCVideoPlatformView::layout() { layoutVideoLayer(); }

void HostRTCVideoPlatformView::layoutVideoLayer() {
  video_layer_->setFrame(bounds());
  video_layer_->removeAllAnimations();
}

CATransform3D HostRTCVideoPlatformView::fromFrameRotation(int64_t rotation) {
  switch (rotation) {
    case 90: return CATransform3DMakeRotation(std::numbers::pi / 2, 0, 0, 1);
    case 180: return CATransform3DMakeRotation(std::numbers::pi, 0, 0, 1);
    case 270: return CATransform3DMakeRotation(-std::numbers::pi / 2, 0, 0, 1);
    default: return CATransform3DIdentity;
  }
}

void HostRTCVideoPlatformView::renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!frame || !frame->buffer()) return;
  CVPixelBufferRef pixel_buffer;
  if (auto* wrapped = dynamic_cast<const RTCCVPixelBuffer*>(frame->buffer().get())) {
    pixel_buffer = pixelBufferFromRTCCVPixelBuffer(*wrapped);
  } else {
    pixel_buffer = toCVPixelBuffer(*frame);
  }
  if (!pixel_buffer) return;
  auto sample_buffer = sampleBufferFromPixelBuffer(pixel_buffer);
  if (!sample_buffer) return;
  auto self = std::static_pointer_cast<HostRTCVideoPlatformView>(shared_from_this());
  const int64_t rotation = frame->rotation();
  dispatch_async(sample_buffer_queue_, [self, sample_buffer, rotation] {
    self->renderSampleBuffer(sample_buffer, rotation);
  });
}

void HostRTCVideoPlatformView::renderSampleBuffer(const CMSampleBufferRef& sampleBuffer,
                                                  int64_t rotation) {
  updateVideoLayerTransformForRotation(rotation);
  if (isAtLeastMacOS(14)) {
    const auto& renderer = video_layer_->sampleBufferRenderer();
    if (renderer->requiresFlushToResumeDecoding()) {
      renderer->flushWithRemovalOfDisplayedImage(true, nullptr);
    }
    renderer->enqueueSampleBuffer(sampleBuffer);
    return;
  }
  if (isAtLeastMacOS(11) && video_layer_->requiresFlushToResumeDecoding()) {
    video_layer_->flushAndRemoveImage();
  }
  video_layer_->enqueueSampleBuffer(sampleBuffer);
}

void HostRTCVideoPlatformView::updateVideoLayerTransformForRotation(int64_t rotation) {
  if (rotation == last_video_rotation_) return;
  last_video_rotation_ = rotation;
  const CATransform3D transform = fromFrameRotation(rotation);
  auto self = std::static_pointer_cast<HostRTCVideoPlatformView>(shared_from_this());
  // Called on the sample-buffer queue, never the main thread: hop.
  dispatch_async(dispatch_get_main_queue(), [self, transform] {
    self->video_layer_->setTransform(transform);
    self->layoutVideoLayer();
  });
}

CVPixelBufferRef HostRTCVideoPlatformView::pixelBufferFromRTCCVPixelBuffer(
    const RTCCVPixelBuffer& buffer) {
  const int width = buffer.width();
  const int height = buffer.height();
  if (!buffer.requiresCropping() && !buffer.requiresScalingToWidth(width, height)) {
    return buffer.pixelBuffer();
  }
  if (!buffer.pixelBuffer()) return nullptr;
  CVPixelBufferRef output;
  {
    std::lock_guard lock(pool_mutex_);
    auto pool = pixelBufferPoolForWidth(width, height, buffer.pixelBuffer()->pixelFormatType());
    if (!pool || CVPixelBufferPoolCreatePixelBuffer(pool, &output) != kCVReturnSuccess) {
      return nullptr;
    }
  }
  const int scratch_size = buffer.bufferSizeForCroppingAndScalingToWidth(width, height);
  std::vector<uint8_t> scratch;
  if (scratch_size >= 1) scratch.resize(static_cast<size_t>(scratch_size));
  if (!buffer.cropAndScaleTo(*output, scratch.empty() ? nullptr : scratch.data())) return nullptr;
  return output;
}

CVPixelBufferPoolRef HostRTCVideoPlatformView::pixelBufferPoolForWidth(int32_t width,
                                                                       int32_t height,
                                                                       OSType pixelFormat) {
  if (crop_and_scale_pool_ && pool_width_ == width && pool_height_ == height &&
      pool_pixel_format_ == pixelFormat) {
    return crop_and_scale_pool_;
  }
  CVPixelBufferPoolAttributes pool_attributes{4};
  CVPixelBufferAttributes attributes{static_cast<size_t>(width > 0 ? width : 0),
                                     static_cast<size_t>(height > 0 ? height : 0),
                                     pixelFormat,
                                     true,
                                     true,
                                     true};
  CVPixelBufferPoolRef pool;
  if (CVPixelBufferPoolCreate(pool_attributes, attributes, &pool) != kCVReturnSuccess) {
    return nullptr;
  }
  crop_and_scale_pool_ = pool;
  pool_width_ = width;
  pool_height_ = height;
  pool_pixel_format_ = pixelFormat;
  return pool;
}

CVPixelBufferRef HostRTCVideoPlatformView::toCVPixelBuffer(const RTCVideoFrame& frame) {
  CVPixelBufferRef output;
  if (CVPixelBufferCreate(static_cast<size_t>(frame.width()), static_cast<size_t>(frame.height()),
                          kCVPixelFormatType_32BGRA, &output) != kCVReturnSuccess) {
    return nullptr;
  }
  writeI420ToPixelBuffer(*frame.buffer()->toI420(), *output);
  return output;
}

CMSampleBufferRef HostRTCVideoPlatformView::sampleBufferFromPixelBuffer(
    const CVPixelBufferRef& pixelBuffer) {
  CMVideoFormatDescriptionRef format;
  if (CMVideoFormatDescriptionCreateForImageBuffer(pixelBuffer, &format) != noErr) return nullptr;
  CMSampleBufferRef sample;
  if (CMSampleBufferCreateReadyWithImageBuffer(pixelBuffer, format, kCMTimingInfoInvalid,
                                               &sample) != noErr) {
    return nullptr;
  }
  sample->sampleAttachments()[kCMSampleAttachmentKey_DisplayImmediately] = true;
  return sample;
}

}  // namespace webrtc_host
