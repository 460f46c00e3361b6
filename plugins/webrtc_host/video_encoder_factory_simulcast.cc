#include "plugins/webrtc_host/video_encoder_factory_simulcast.h"

#include "plugins/webrtc_host/h264_level_filter.h"

namespace webrtc_host {

std::vector<RTCVideoCodecInfo> VideoEncoderFactorySimulcast::supportedCodecs() const {
  return filterH264Levels(RTCVideoEncoderFactorySimulcast::supportedCodecs());
}

}  // namespace webrtc_host
