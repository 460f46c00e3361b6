#include "plugins/webrtc_host/rtp_maps.h"

#include <cmath>

#include "plugins/webrtc_host/arguments.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

RTCRtpTransceiverDirection stringToTransceiverDirection(const std::string& direction) {
  if (direction == "sendrecv") return RTCRtpTransceiverDirectionSendRecv;
  if (direction == "sendonly") return RTCRtpTransceiverDirectionSendOnly;
  if (direction == "recvonly") return RTCRtpTransceiverDirectionRecvOnly;
  return RTCRtpTransceiverDirectionInactive;
}

std::optional<std::string> transceiverDirectionString(int direction) {
  switch (direction) {
    case RTCRtpTransceiverDirectionSendRecv:
      return "sendrecv";
    case RTCRtpTransceiverDirectionSendOnly:
      return "sendonly";
    case RTCRtpTransceiverDirectionRecvOnly:
      return "recvonly";
    case RTCRtpTransceiverDirectionInactive:
      return "inactive";
    case RTCRtpTransceiverDirectionStopped:
      return "stopped";
    default:
      return std::nullopt;
  }
}

RTCPriority stringToRTCPriority(const std::string& priority) {
  if (priority == "very-low") return RTCPriorityVeryLow;
  if (priority == "low") return RTCPriorityLow;
  if (priority == "medium") return RTCPriorityMedium;
  if (priority == "high") return RTCPriorityHigh;
  return RTCPriorityLow;
}

std::string rtcPriorityToString(int priority) {
  switch (priority) {
    case RTCPriorityVeryLow:
      return "very-low";
    case RTCPriorityMedium:
      return "medium";
    case RTCPriorityHigh:
      return "high";
    default:
      return "low";
  }
}

double stringToBitratePriority(const std::string& priority) {
  if (priority == "very-low") return 0.5;
  if (priority == "low") return 1.0;
  if (priority == "medium") return 2.0;
  if (priority == "high") return 4.0;
  return 1.0;
}

std::string bitratePriorityToString(double priority) {
  if (priority <= 0.5) return "very-low";
  if (priority <= 1.0) return "low";
  if (priority <= 2.0) return "medium";
  return "high";
}

RTCRtpMediaType stringToRtpMediaType(const std::string& type) {
  if (type == "video") return RTCRtpMediaTypeVideo;
  if (type == "data") return RTCRtpMediaTypeData;
  return RTCRtpMediaTypeAudio;
}

std::string streamTrackStateToString(int state) {
  switch (state) {
    case RTCMediaStreamTrackStateLive:
      return "live";
    case RTCMediaStreamTrackStateEnded:
      return "ended";
    default:
      return "";
  }
}

std::optional<int> stringToDegradationPreference(const std::string& preference) {
  if (preference == "maintain-framerate") return RTCDegradationPreferenceMaintainFramerate;
  if (preference == "maintain-resolution") return RTCDegradationPreferenceMaintainResolution;
  if (preference == "balanced") return RTCDegradationPreferenceBalanced;
  if (preference == "maintain-framerate-and-resolution") return RTCDegradationPreferenceDisabled;
  return std::nullopt;
}

std::string degradationPreferenceToString(const std::optional<int>& preference) {
  if (!preference) return "balanced";
  switch (*preference) {
    case RTCDegradationPreferenceDisabled:
      return "maintain-framerate-and-resolution";
    case RTCDegradationPreferenceMaintainFramerate:
      return "maintain-framerate";
    case RTCDegradationPreferenceMaintainResolution:
      return "maintain-resolution";
    default:
      return "balanced";
  }
}

Value mediaTrackToMap(const std::shared_ptr<RTCMediaStreamTrack>& track) {
  if (!track) return ValueMap{};
  return ValueMap{{"enabled", track->isEnabled()},
                  {"id", track->trackId()},
                  {"kind", track->kind()},
                  {"label", track->trackId()},
                  {"readyState", streamTrackStateToString(track->readyState())},
                  {"remote", true}};
}

Value mediaStreamToMap(const RTCMediaStream& stream, const std::string& ownerTag) {
  ValueList audio_tracks;
  for (const auto& track : stream.audioTracks()) audio_tracks.push_back(mediaTrackToMap(track));
  ValueList video_tracks;
  for (const auto& track : stream.videoTracks()) video_tracks.push_back(mediaTrackToMap(track));
  return ValueMap{{"streamId", stream.streamId()},
                  {"ownerTag", ownerTag},
                  {"audioTracks", std::move(audio_tracks)},
                  {"videoTracks", std::move(video_tracks)}};
}

namespace {

Value encodingToMap(const RTCRtpEncodingParameters& encoding) {
  ValueMap map{{"active", encoding.isActive}};
  if (encoding.rid) map.append("rid", *encoding.rid);
  if (encoding.minBitrateBps) map.append("minBitrate", int32_t{*encoding.minBitrateBps});
  if (encoding.maxBitrateBps) map.append("maxBitrate", int32_t{*encoding.maxBitrateBps});
  if (encoding.maxFramerate) map.append("maxFramerate", int32_t{*encoding.maxFramerate});
  if (encoding.numTemporalLayers) {
    map.append("numTemporalLayers", int32_t{*encoding.numTemporalLayers});
  }
  if (encoding.scaleResolutionDownBy) {
    map.append("scaleResolutionDownBy", *encoding.scaleResolutionDownBy);
  }
  if (encoding.ssrc) map.append("ssrc", int64_t{*encoding.ssrc});
  if (encoding.scalabilityMode) map.append("scalabilityMode", *encoding.scalabilityMode);
  map.append("priority", bitratePriorityToString(encoding.bitratePriority));
  map.append("networkPriority", rtcPriorityToString(encoding.networkPriority));
  return map;
}

Value codecToMap(const RTCRtpCodecParameters& codec) {
  ValueMap parameters;
  for (const auto& [key, value] : codec.parameters) parameters.append(key, value);
  ValueMap map{{"name", codec.name}, {"payloadType", int32_t{codec.payloadType}}};
  map.append("clockRate", valueOrNull(codec.clockRate));
  map.append("numChannels", int32_t{codec.numChannels.value_or(1)});
  map.append("parameters", std::move(parameters));
  map.append("kind", codec.kind);
  return map;
}

}  // namespace

Value rtpParametersToMap(const RTCRtpParameters& parameters) {
  ValueList header_extensions;
  for (const auto& extension : parameters.headerExtensions) {
    header_extensions.push_back(ValueMap{{"uri", extension.uri},
                                         {"encrypted", extension.isEncrypted},
                                         {"id", int32_t{extension.id}}});
  }
  ValueList encodings;
  for (const auto& encoding : parameters.encodings) encodings.push_back(encodingToMap(encoding));
  ValueList codecs;
  for (const auto& codec : parameters.codecs) codecs.push_back(codecToMap(codec));
  return ValueMap{
      {"transactionId", parameters.transactionId},
      {"rtcp",
       ValueMap{{"cname", parameters.rtcp.cname}, {"reducedSize", parameters.rtcp.isReducedSize}}},
      {"headerExtensions", std::move(header_extensions)},
      {"encodings", std::move(encodings)},
      {"codecs", std::move(codecs)},
      {"degradationPreference", degradationPreferenceToString(parameters.degradationPreference)}};
}

Value dtmfSenderToMap(const std::shared_ptr<RTCDtmfSender>& dtmfSender,
                      const std::string& senderId) {
  const double gap = dtmfSender ? dtmfSender->interToneGap() : 0.0;
  const double duration = dtmfSender ? dtmfSender->duration() : 0.0;
  return ValueMap{
      {"dtmfSenderId", senderId}, {"interToneGap", gap / 1000.0}, {"duration", duration / 1000.0}};
}

Value rtpSenderToMap(const RTCRtpSender& sender) {
  return ValueMap{{"senderId", sender.senderId()},
                  {"ownsTrack", true},
                  {"rtpParameters", rtpParametersToMap(sender.parameters())},
                  {"track", mediaTrackToMap(sender.track())},
                  {"dtmfSender", dtmfSenderToMap(sender.dtmfSender(), sender.senderId())}};
}

Value receiverToMap(const RTCRtpReceiver& receiver) {
  return ValueMap{{"receiverId", receiver.receiverId()},
                  {"rtpParameters", rtpParametersToMap(receiver.parameters())},
                  {"track", mediaTrackToMap(receiver.track())}};
}

Value transceiverToMap(const RTCRtpTransceiver& transceiver) {
  const std::string mid = transceiver.mid();
  auto direction = transceiverDirectionString(transceiver.direction());
  return ValueMap{{"transceiverId", mid},
                  {"mid", mid},
                  {"direction", valueOrNull(direction)},
                  {"sender", rtpSenderToMap(*transceiver.sender())},
                  {"receiver", receiverToMap(*transceiver.receiver())}};
}

std::shared_ptr<RTCRtpSender> rtpSenderForId(const RTCPeerConnection& connection,
                                               const std::string& senderId) {
  for (const auto& sender : connection.senders()) {
    if (sender->senderId() == senderId) return sender;
  }
  return nullptr;
}

std::shared_ptr<RTCRtpReceiver> rtpReceiverForId(const RTCPeerConnection& connection,
                                                   const std::string& receiverId) {
  for (const auto& receiver : connection.receivers()) {
    if (receiver->receiverId() == receiverId) return receiver;
  }
  return nullptr;
}

std::shared_ptr<RTCRtpTransceiver> rtpTransceiverForId(const RTCPeerConnection& connection,
                                                         const std::string& transceiverId) {
  for (const auto& transceiver : connection.transceivers()) {
    if (transceiver->mid() == transceiverId) return transceiver;
  }
  return nullptr;
}

}  // namespace webrtc_host
