#include "platform/webrtc/rtc_default_video_encoder_factory.h"

#include "platform/webrtc/codec_catalog.h"

std::vector<RTCVideoCodecInfo> RTCDefaultVideoEncoderFactory::supportedCodecs() const {
  return webrtc_model::builtInVideoCodecs();
}
