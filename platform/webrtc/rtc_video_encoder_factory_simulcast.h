// An encoder factory that adds simulcast over a primary factory, falling back to another.
#pragma once

#include <memory>

#include "platform/webrtc/rtc_video_codec_factory.h"

class RTCVideoEncoderFactorySimulcast : public RTCVideoEncoderFactory {
 public:
  RTCVideoEncoderFactorySimulcast(std::shared_ptr<RTCVideoEncoderFactory> primary,
                                  std::shared_ptr<RTCVideoEncoderFactory> fallback);

  // The primary's codecs, then the fallback's that the primary lacks.
  std::vector<RTCVideoCodecInfo> supportedCodecs() const override;

  const std::shared_ptr<RTCVideoEncoderFactory>& primary() const { return primary_; }
  const std::shared_ptr<RTCVideoEncoderFactory>& fallback() const { return fallback_; }

 private:
  std::shared_ptr<RTCVideoEncoderFactory> primary_;
  std::shared_ptr<RTCVideoEncoderFactory> fallback_;
};
