// The channel forms of tracks, streams, RTP senders, receivers, transceivers and parameters, the
// string tables of the framework's enumerations, and the lookups of RTP objects by id.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_media_stream.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_rtp_transceiver.h"

namespace webrtc_host {

// String tables.
RTCRtpTransceiverDirection stringToTransceiverDirection(const std::string& direction);
std::optional<std::string> transceiverDirectionString(int direction);
RTCPriority stringToRTCPriority(const std::string& priority);
std::string rtcPriorityToString(int priority);
double stringToBitratePriority(const std::string& priority);
std::string bitratePriorityToString(double priority);
RTCRtpMediaType stringToRtpMediaType(const std::string& type);
std::string streamTrackStateToString(int state);
// Nullopt for an unknown string (the preference is then left as it is).
std::optional<int> stringToDegradationPreference(const std::string& preference);
std::string degradationPreferenceToString(const std::optional<int>& preference);

// Object maps.
flutter::Value mediaTrackToMap(const std::shared_ptr<RTCMediaStreamTrack>& track);
flutter::Value mediaStreamToMap(const RTCMediaStream& stream, const std::string& ownerTag);
flutter::Value rtpParametersToMap(const RTCRtpParameters& parameters);
flutter::Value dtmfSenderToMap(const std::shared_ptr<RTCDtmfSender>& dtmfSender,
                               const std::string& senderId);
flutter::Value rtpSenderToMap(const RTCRtpSender& sender);
flutter::Value receiverToMap(const RTCRtpReceiver& receiver);
flutter::Value transceiverToMap(const RTCRtpTransceiver& transceiver);

// Lookups by id within one connection: the first match, or null.
std::shared_ptr<RTCRtpSender> rtpSenderForId(const RTCPeerConnection& connection,
                                               const std::string& senderId);
std::shared_ptr<RTCRtpReceiver> rtpReceiverForId(const RTCPeerConnection& connection,
                                                   const std::string& receiverId);
std::shared_ptr<RTCRtpTransceiver> rtpTransceiverForId(const RTCPeerConnection& connection,
                                                         const std::string& transceiverId);

}  // namespace webrtc_host
