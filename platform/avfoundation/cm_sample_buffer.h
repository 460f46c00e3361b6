// CoreMedia sample buffers: one video sample (an image, or none for a sample that only carries
// status), the format description of its image, its timing and its sample attachments.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/avfoundation/av_capture_device_format.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"

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
// Null for a null sample or one without an image.
CVPixelBufferRef CMSampleBufferGetImageBuffer(const CMSampleBufferRef& sampleBuffer);
// The invalid time for a null sample.
CMTime CMSampleBufferGetPresentationTimeStamp(const CMSampleBufferRef& sampleBuffer);
