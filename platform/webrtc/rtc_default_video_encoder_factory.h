// The framework's built-in video encoders.
#pragma once

#include "platform/webrtc/rtc_video_codec_factory.h"

class RTCDefaultVideoEncoderFactory : public RTCVideoEncoderFactory {
 public:
  // H.264 (constrained high and constrained baseline, level 3.1), VP8, VP9 and AV1.
  std::vector<RTCVideoCodecInfo> supportedCodecs() const override;
};
