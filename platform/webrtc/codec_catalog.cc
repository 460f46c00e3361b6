#include "platform/webrtc/codec_catalog.h"

#include "platform/webrtc/framework_registry.h"

namespace webrtc_model {

std::vector<RTCVideoCodecInfo> builtInVideoCodecs() {
  auto& registry = frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  if (registry.video_codecs_override) return *registry.video_codecs_override;
  const std::map<std::string, std::string> h264_common{{"level-asymmetry-allowed", "1"},
                                                       {"packetization-mode", "1"}};
  auto h264 = [&](const char* profile_level_id) {
    auto parameters = h264_common;
    parameters["profile-level-id"] = profile_level_id;
    return RTCVideoCodecInfo(kRTCVideoCodecH264Name, parameters);
  };
  return {h264("640c1f"), h264("42e01f"), RTCVideoCodecInfo(kRTCVideoCodecVp8Name),
          RTCVideoCodecInfo(kRTCVideoCodecVp9Name, {{"profile-id", "0"}}),
          RTCVideoCodecInfo(kRTCVideoCodecAv1Name)};
}

const std::vector<AudioCodec>& builtInAudioCodecs() {
  static const auto* const codecs = new std::vector<AudioCodec>{
      {"opus", 48000, 2, {{"minptime", "10"}, {"useinbandfec", "1"}}, 111},
      {"G722", 8000, 1, {}, 9},
      {"PCMU", 8000, 1, {}, 0},
      {"PCMA", 8000, 1, {}, 8},
      {"CN", 8000, 1, {}, 13},
      {"telephone-event", 48000, 1, {}, 110},
      {"telephone-event", 8000, 1, {}, 126},
  };
  return *codecs;
}

}  // namespace webrtc_model
