// The CoreMedia pieces that screen capture hands out: times and sample buffers.
//
// These belong to CoreMedia; this library keeps its own in its namespace so that they never
// clash with the media libraries' own.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/avfoundation/cv_pixel_buffer.h"

namespace screencapturekit {

// A rational time: value / timescale seconds. A timescale of 0 is an invalid time.
struct CMTime {
  int64_t value = 0;
  int32_t timescale = 0;
  friend bool operator==(const CMTime&, const CMTime&) = default;
};

CMTime CMTimeMake(int64_t value, int32_t timescale);
// NaN for an invalid time.
double CMTimeGetSeconds(CMTime time);

// One captured sample: an image (or none, for samples that carry only status) and its time.
class CMSampleBuffer {
 public:
  CMSampleBuffer(CVPixelBufferRef imageBuffer, CMTime presentationTimeStamp)
      : image_buffer_(std::move(imageBuffer)), presentation_time_(presentationTimeStamp) {}

  const CVPixelBufferRef& imageBuffer() const { return image_buffer_; }
  CMTime presentationTimeStamp() const { return presentation_time_; }

 private:
  CVPixelBufferRef image_buffer_;
  CMTime presentation_time_;
};

using CMSampleBufferRef = std::shared_ptr<const CMSampleBuffer>;

// Null for a sample without an image.
CVPixelBufferRef CMSampleBufferGetImageBuffer(const CMSampleBufferRef& sampleBuffer);
CMTime CMSampleBufferGetPresentationTimeStamp(const CMSampleBufferRef& sampleBuffer);

}  // namespace screencapturekit
