#include "platform/webrtc/rtc_default_video_decoder_factory.h"

#include "platform/webrtc/codec_catalog.h"

std::vector<RTCVideoCodecInfo> RTCDefaultVideoDecoderFactory::supportedCodecs() const {
  return webrtc_model::builtInVideoCodecs();
}
