// A layer that shows video sample buffers as they are enqueued, with the sample buffers,
// format descriptions and 3-D transforms it works with.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/avfoundation/av_capture_device_format.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/coregraphics/cg_geometry.h"

using OSStatus = int32_t;
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kCMFormatDescriptionError_InvalidParameter = -12710;
inline constexpr OSStatus kCMSampleBufferError_RequiredParameterMissing = -12731;

struct CMVideoFormatDescription {
  FourCharCode mediaSubType = 0;
  CMVideoDimensions dimensions;
};
using CMVideoFormatDescriptionRef = std::shared_ptr<const CMVideoFormatDescription>;
OSStatus CMVideoFormatDescriptionCreateForImageBuffer(const CVPixelBufferRef& imageBuffer,
                                                      CMVideoFormatDescriptionRef* out);

struct CMSampleTimingInfo {
  CMTime duration = kCMTimeInvalid;
  CMTime presentationTimeStamp = kCMTimeInvalid;
  CMTime decodeTimeStamp = kCMTimeInvalid;
};
inline constexpr CMSampleTimingInfo kCMTimingInfoInvalid{};

inline constexpr const char* kCMSampleAttachmentKey_DisplayImmediately = "DisplayImmediately";

class CMSampleBuffer {
 public:
  CMSampleBuffer(CVPixelBufferRef imageBuffer, CMVideoFormatDescriptionRef format,
                 CMSampleTimingInfo timing)
      : image_buffer_(std::move(imageBuffer)), format_(std::move(format)), timing_(timing) {}

  const CVPixelBufferRef& imageBuffer() const { return image_buffer_; }
  const CMVideoFormatDescriptionRef& formatDescription() const { return format_; }
  const CMSampleTimingInfo& timing() const { return timing_; }
  // The attachments of the buffer's one sample.
  std::map<std::string, bool>& sampleAttachments() { return attachments_; }
  const std::map<std::string, bool>& sampleAttachments() const { return attachments_; }

 private:
  CVPixelBufferRef image_buffer_;
  CMVideoFormatDescriptionRef format_;
  CMSampleTimingInfo timing_;
  std::map<std::string, bool> attachments_;
};
using CMSampleBufferRef = std::shared_ptr<CMSampleBuffer>;

// Fails when the format does not describe the image buffer.
OSStatus CMSampleBufferCreateReadyWithImageBuffer(const CVPixelBufferRef& imageBuffer,
                                                  const CMVideoFormatDescriptionRef& format,
                                                  const CMSampleTimingInfo& timing,
                                                  CMSampleBufferRef* out);

// A 4x4 transform, row-major, as layers use it.
struct CATransform3D {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  friend bool operator==(const CATransform3D&, const CATransform3D&) = default;
};
inline constexpr CATransform3D CATransform3DIdentity{};
// A rotation by `angle` radians about the axis (x, y, z).
CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z);

inline constexpr const char* AVLayerVideoGravityResizeAspect = "AVLayerVideoGravityResizeAspect";
inline constexpr const char* AVLayerVideoGravityResizeAspectFill =
    "AVLayerVideoGravityResizeAspectFill";

// What actually decodes and shows the enqueued samples.
class AVSampleBufferVideoRenderer {
 public:
  bool requiresFlushToResumeDecoding() const;
  // Drops what is queued, and the image shown when `removingDisplayedImage`.
  void flushWithRemovalOfDisplayedImage(bool removingDisplayedImage,
                                        std::function<void()> completionHandler);
  void enqueueSampleBuffer(const CMSampleBufferRef& sampleBuffer);

  // The sample on screen, or null.
  CMSampleBufferRef displayedSampleBuffer() const;
  size_t enqueuedCount() const;
  size_t flushCount() const;

 private:
  friend class AVSampleBufferDisplayLayerControl;
  mutable std::mutex mutex_;
  bool requires_flush_ = false;
  CMSampleBufferRef displayed_;
  size_t enqueued_ = 0;
  size_t flushes_ = 0;
};

class AVSampleBufferDisplayLayer {
 public:
  AVSampleBufferDisplayLayer() : renderer_(std::make_shared<AVSampleBufferVideoRenderer>()) {}
  AVSampleBufferDisplayLayer(const AVSampleBufferDisplayLayer&) = delete;
  AVSampleBufferDisplayLayer& operator=(const AVSampleBufferDisplayLayer&) = delete;

  std::string videoGravity() const;
  void setVideoGravity(std::string gravity);
  CGRect frame() const;
  void setFrame(CGRect frame);
  CATransform3D transform() const;
  void setTransform(const CATransform3D& transform);
  void removeAllAnimations();

  // Older systems: the layer queues and shows samples itself.
  bool requiresFlushToResumeDecoding() const { return renderer_->requiresFlushToResumeDecoding(); }
  void flushAndRemoveImage() { renderer_->flushWithRemovalOfDisplayedImage(true, nullptr); }
  void enqueueSampleBuffer(const CMSampleBufferRef& sampleBuffer) {
    renderer_->enqueueSampleBuffer(sampleBuffer);
  }
  // macOS 14 and later.
  const std::shared_ptr<AVSampleBufferVideoRenderer>& sampleBufferRenderer() const {
    return renderer_;
  }

 private:
  std::shared_ptr<AVSampleBufferVideoRenderer> renderer_;
  mutable std::mutex mutex_;
  std::string video_gravity_ = AVLayerVideoGravityResizeAspect;
  CGRect frame_ = CGRectZero;
  CATransform3D transform_;
};
