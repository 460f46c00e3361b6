// A layer that shows video sample buffers as they are enqueued, turned by a 3-D transform.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/avfoundation/cm_sample_buffer.h"
#include "platform/coregraphics/cg_geometry.h"
#include "platform/quartzcore/ca_transform_3d.h"

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
