#include "platform/screencapturekit/cm_sample_buffer.h"

#include <limits>

namespace screencapturekit {

CMTime CMTimeMake(int64_t value, int32_t timescale) { return CMTime{value, timescale}; }

double CMTimeGetSeconds(CMTime time) {
  if (time.timescale == 0) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(time.value) / time.timescale;
}

CVPixelBufferRef CMSampleBufferGetImageBuffer(const CMSampleBufferRef& sampleBuffer) {
  return sampleBuffer ? sampleBuffer->imageBuffer() : nullptr;
}

CMTime CMSampleBufferGetPresentationTimeStamp(const CMSampleBufferRef& sampleBuffer) {
  return sampleBuffer ? sampleBuffer->presentationTimeStamp() : CMTime{};
}

}  // namespace screencapturekit
