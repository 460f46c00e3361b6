// A capture format of a camera: its dimensions, pixel format and the frame rates it supports.
#pragma once

#include <cstdint>
#include <vector>

using FourCharCode = uint32_t;

struct CMVideoDimensions {
  int32_t width = 0;
  int32_t height = 0;
};

struct AVFrameRateRange {
  double minFrameRate = 0;
  double maxFrameRate = 0;
};

class AVCaptureDeviceFormat {
 public:
  AVCaptureDeviceFormat(CMVideoDimensions dimensions, FourCharCode mediaSubType,
                        std::vector<AVFrameRateRange> frameRateRanges)
      : dimensions_(dimensions),
        media_sub_type_(mediaSubType),
        frame_rate_ranges_(std::move(frameRateRanges)) {}

  CMVideoDimensions dimensions() const { return dimensions_; }
  FourCharCode mediaSubType() const { return media_sub_type_; }
  const std::vector<AVFrameRateRange>& videoSupportedFrameRateRanges() const {
    return frame_rate_ranges_;
  }

 private:
  CMVideoDimensions dimensions_;
  FourCharCode media_sub_type_;
  std::vector<AVFrameRateRange> frame_rate_ranges_;
};
