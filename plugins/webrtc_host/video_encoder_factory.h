// The framework's encoders, with H.264 levels raised (see h264_level_filter.h).
#pragma once

#include "platform/webrtc/rtc_default_video_encoder_factory.h"

namespace webrtc_host {

class VideoEncoderFactory : public RTCDefaultVideoEncoderFactory {
 public:
  std::vector<RTCVideoCodecInfo> supportedCodecs() const override;
};

}  // namespace webrtc_host
