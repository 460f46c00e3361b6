// Raises the level of every H.264 codec a factory offers to at least 5.1, so that high
// resolutions are negotiated; other codecs, and entries whose level cannot be read, are kept.
#pragma once

#include <vector>

#include "platform/webrtc/rtc_video_codec_info.h"

namespace webrtc_host {

std::vector<RTCVideoCodecInfo> filterH264Levels(const std::vector<RTCVideoCodecInfo>& codecs);

}  // namespace webrtc_host
