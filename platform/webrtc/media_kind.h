// The track kind of a media type, as the framework model's descriptions, senders and codec lists
// spell it.
#pragma once

#include <string>

#include "platform/webrtc/rtc_media_stream_track.h"
#include "platform/webrtc/rtc_rtp_capabilities.h"

namespace webrtc_model {

// "video" for video; "audio" for every other media type.
inline std::string kindOf(RTCRtpMediaType mediaType) {
  return mediaType == RTCRtpMediaTypeVideo ? kRTCMediaStreamTrackKindVideo
                                           : kRTCMediaStreamTrackKindAudio;
}

}  // namespace webrtc_model
