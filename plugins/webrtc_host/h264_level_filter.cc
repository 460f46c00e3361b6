#include "plugins/webrtc_host/h264_level_filter.h"

#include "platform/webrtc/rtc_h264_profile_level_id.h"

namespace webrtc_host {

std::vector<RTCVideoCodecInfo> filterH264Levels(const std::vector<RTCVideoCodecInfo>& codecs) {
  std::vector<RTCVideoCodecInfo> filtered;
  filtered.reserve(codecs.size());
  for (const auto& codec : codecs) {
    if (codec.name != kRTCVideoCodecH264Name) {
      filtered.push_back(codec);
      continue;
    }
    auto found = codec.parameters.find("profile-level-id");
    auto profile_level_id = found == codec.parameters.end()
                                ? std::nullopt
                                : RTCH264ProfileLevelId::initWithHexString(found->second);
    // An id that does not parse says nothing about the level: keep the entry as it is.
    if (!profile_level_id || profile_level_id->level() > RTCH264Level5) {
      filtered.push_back(codec);
      continue;
    }
    auto parameters = codec.parameters;
    parameters["profile-level-id"] =
        RTCH264ProfileLevelId(profile_level_id->profile(), RTCH264Level5_1).hexString();
    filtered.push_back(RTCVideoCodecInfo(kRTCVideoCodecH264Name, std::move(parameters)));
  }
  return filtered;
}

}  // namespace webrtc_host
