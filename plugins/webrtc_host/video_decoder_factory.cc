#include "plugins/webrtc_host/video_decoder_factory.h"

#include "plugins/webrtc_host/h264_level_filter.h"

namespace webrtc_host {

std::vector<RTCVideoCodecInfo> VideoDecoderFactory::supportedCodecs() const {
  return filterH264Levels(RTCDefaultVideoDecoderFactory::supportedCodecs());
}

}  // namespace webrtc_host
