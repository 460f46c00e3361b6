// The native view of a platform-view renderer: frames become sample buffers shown by a display
// layer, enqueued in frame order on the view's own serial queue, the layer turned upright by a
// transform set on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/appkit/ns_view.h"
#include "platform/avfoundation/av_sample_buffer_display_layer.h"
#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/dispatch/dispatch.h"
#include "platform/quartzcore/ca_transform_3d.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_video_frame.h"

namespace webrtc_host {

class HostRTCVideoPlatformView : public NSView {
 public:
  explicit HostRTCVideoPlatformView(NSRect frame);

  bool isOpaque() const { return false; }
  const std::shared_ptr<AVSampleBufferDisplayLayer>& videoLayer() const { return video_layer_; }
  void setFrame(NSRect frame) override;
  void layout();
  void layoutVideoLayer();

  void setSize(CGSize /*size*/) {}
  // Frame thread. A frame whose pixels cannot be turned into a sample buffer is dropped.
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame);

  static CATransform3D fromFrameRotation(int64_t rotation);

 private:
  void renderSampleBuffer(const CMSampleBufferRef& sampleBuffer, int64_t rotation);
  void updateVideoLayerTransformForRotation(int64_t rotation);
  CVPixelBufferRef pixelBufferFromRTCCVPixelBuffer(const RTCCVPixelBuffer& buffer);
  CVPixelBufferPoolRef pixelBufferPoolForWidth(int32_t width, int32_t height, OSType pixelFormat);
  static CVPixelBufferRef toCVPixelBuffer(const RTCVideoFrame& frame);
  static CMSampleBufferRef sampleBufferFromPixelBuffer(const CVPixelBufferRef& pixelBuffer);

  std::shared_ptr<AVSampleBufferDisplayLayer> video_layer_;
  dispatch_queue_t sample_buffer_queue_;
  // The sample-buffer queue only.
  int64_t last_video_rotation_ = 0;

  std::mutex pool_mutex_;
  CVPixelBufferPoolRef crop_and_scale_pool_;
  int32_t pool_width_ = 0;
  int32_t pool_height_ = 0;
  OSType pool_pixel_format_ = 0;
};

}  // namespace webrtc_host
