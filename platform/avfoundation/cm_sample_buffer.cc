#include "platform/avfoundation/cm_sample_buffer.h"

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

CVPixelBufferRef CMSampleBufferGetImageBuffer(const CMSampleBufferRef& sampleBuffer) {
  return sampleBuffer ? sampleBuffer->imageBuffer() : nullptr;
}

CMTime CMSampleBufferGetPresentationTimeStamp(const CMSampleBufferRef& sampleBuffer) {
  return sampleBuffer ? sampleBuffer->timing().presentationTimeStamp : kCMTimeInvalid;
}
