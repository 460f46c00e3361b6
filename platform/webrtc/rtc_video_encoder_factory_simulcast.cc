#include "platform/webrtc/rtc_video_encoder_factory_simulcast.h"

#include <algorithm>

RTCVideoEncoderFactorySimulcast::RTCVideoEncoderFactorySimulcast(
    std::shared_ptr<RTCVideoEncoderFactory> primary,
    std::shared_ptr<RTCVideoEncoderFactory> fallback)
    : primary_(std::move(primary)), fallback_(std::move(fallback)) {}

std::vector<RTCVideoCodecInfo> RTCVideoEncoderFactorySimulcast::supportedCodecs() const {
  std::vector<RTCVideoCodecInfo> codecs;
  if (primary_) codecs = primary_->supportedCodecs();
  if (fallback_ && fallback_ != primary_) {
    for (auto& codec : fallback_->supportedCodecs()) {
      if (std::find(codecs.begin(), codecs.end(), codec) == codecs.end()) codecs.push_back(codec);
    }
  }
  return codecs;
}
