// The framework's built-in video decoders.
#pragma once

#include "platform/webrtc/rtc_video_codec_factory.h"

class RTCDefaultVideoDecoderFactory : public RTCVideoDecoderFactory {
 public:
  std::vector<RTCVideoCodecInfo> supportedCodecs() const override;
};
