// RTP encodings, transceiver options and parameter updates from the Dart side's maps. Values of
// the wrong type are ignored: the framework's value stays.
#pragma once

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_rtp_parameters.h"
#include "platform/webrtc/rtc_rtp_transceiver.h"

namespace webrtc_host {

// Starts from active, scale 1, one temporal layer, network priority low, bitrate priority 1.
RTCRtpEncodingParameters mapToEncoding(const flutter::ValueMap& map);
RTCRtpTransceiverInit mapToTransceiverInit(const flutter::ValueMap& map);
// Changes the degradation preference and the encodings the map names (by rid, else by index).
void updateRtpParameters(RTCRtpParameters& parameters, const flutter::ValueMap& update);

}  // namespace webrtc_host
