// Video encoder and decoder factories, as far as peer connections ask them: which codecs they
// support.
#pragma once

#include <vector>

#include "platform/webrtc/rtc_video_codec_info.h"

class RTCVideoEncoderFactory {
 public:
  virtual ~RTCVideoEncoderFactory() = default;
  virtual std::vector<RTCVideoCodecInfo> supportedCodecs() const = 0;
};

class RTCVideoDecoderFactory {
 public:
  virtual ~RTCVideoDecoderFactory() = default;
  virtual std::vector<RTCVideoCodecInfo> supportedCodecs() const = 0;
};
