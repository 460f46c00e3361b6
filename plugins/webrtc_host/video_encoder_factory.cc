#include "plugins/webrtc_host/video_encoder_factory.h"

#include "plugins/webrtc_host/h264_level_filter.h"

namespace webrtc_host {

std::vector<RTCVideoCodecInfo> VideoEncoderFactory::supportedCodecs() const {
  return filterH264Levels(RTCDefaultVideoEncoderFactory::supportedCodecs());
}

}  // namespace webrtc_host
