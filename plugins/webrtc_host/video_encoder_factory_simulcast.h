// The simulcast encoder factory, with H.264 levels raised (see h264_level_filter.h).
#pragma once

#include "platform/webrtc/rtc_video_encoder_factory_simulcast.h"

namespace webrtc_host {

class VideoEncoderFactorySimulcast : public RTCVideoEncoderFactorySimulcast {
 public:
  using RTCVideoEncoderFactorySimulcast::RTCVideoEncoderFactorySimulcast;
  std::vector<RTCVideoCodecInfo> supportedCodecs() const override;
};

}  // namespace webrtc_host
