// The codecs the framework model ships: its video encoders and decoders (which tests may
// replace) and its audio codecs.
#pragma once

#include <optional>
#include <vector>

#include "platform/webrtc/rtc_video_codec_info.h"

namespace webrtc_model {

std::vector<RTCVideoCodecInfo> builtInVideoCodecs();

struct AudioCodec {
  std::string name;
  int clock_rate;
  std::optional<int> channels;
  std::map<std::string, std::string> parameters;
  int payload_type;
};
const std::vector<AudioCodec>& builtInAudioCodecs();

}  // namespace webrtc_model
