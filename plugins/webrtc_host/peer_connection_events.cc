// Notifications of peer connections: they keep each connection's remote streams, remote tracks
// and data channels up to date and tell the Dart side on the connection's event channel. They
// run on the framework's signaling thread.
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/post_event.h"
#include "plugins/webrtc_host/rtp_maps.h"
#include "plugins/webrtc_host/state_strings.h"
#include "plugins/webrtc_host/weak_stream_handler.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

Value stateEvent(const char* name, const std::optional<std::string>& state) {
  return ValueMap{{"event", name}, {"state", valueOrNull(state)}};
}

Value candidateToMap(const RTCIceCandidate& candidate) {
  return ValueMap{{"candidate", candidate.sdp()},
                  {"sdpMLineIndex", int32_t{candidate.sdpMLineIndex()}},
                  {"sdpMid", candidate.sdpMid()}};
}

// The short track form of the stream and track events.
Value remoteTrackToMap(const RTCMediaStreamTrack& track) {
  return ValueMap{{"id", track.trackId()},    {"kind", track.kind()},
                  {"label", track.trackId()}, {"enabled", track.isEnabled()},
                  {"remote", true},           {"readyState", "live"}};
}

}  // namespace

void WebRTCHostPlugin::peerConnectionDidChangeSignalingState(FlutterPeerConnection& peer,
                                                             int state) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, stateEvent("signalingState", stringForSignalingState(state)));
  }
}

void WebRTCHostPlugin::peerConnectionDidChangeIceConnectionState(FlutterPeerConnection& peer,
                                                                 int state) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, stateEvent("iceConnectionState", stringForICEConnectionState(state)));
  }
}

void WebRTCHostPlugin::peerConnectionDidChangeIceGatheringState(FlutterPeerConnection& peer,
                                                                int state) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, stateEvent("iceGatheringState", stringForICEGatheringState(state)));
  }
}

void WebRTCHostPlugin::peerConnectionDidChangeConnectionState(FlutterPeerConnection& peer,
                                                              int state) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, stateEvent("peerConnectionState", stringForPeerConnectionState(state)));
  }
}

void WebRTCHostPlugin::peerConnectionDidGenerateIceCandidate(FlutterPeerConnection& peer,
                                                             const RTCIceCandidate& candidate) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onCandidate"}, {"candidate", candidateToMap(candidate)}});
  }
}

void WebRTCHostPlugin::peerConnectionDidAddStream(FlutterPeerConnection& peer,
                                                  const std::shared_ptr<RTCMediaStream>& stream) {
  ValueList audio_tracks;
  for (const auto& track : stream->audioTracks()) {
    peer.setRemoteTrack(track->trackId(), track);
    audio_tracks.push_back(remoteTrackToMap(*track));
  }
  ValueList video_tracks;
  for (const auto& track : stream->videoTracks()) {
    peer.setRemoteTrack(track->trackId(), track);
    video_tracks.push_back(remoteTrackToMap(*track));
  }
  peer.setRemoteStream(stream->streamId(), stream);
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onAddStream"},
                             {"streamId", stream->streamId()},
                             {"audioTracks", std::move(audio_tracks)},
                             {"videoTracks", std::move(video_tracks)}});
  }
}

void WebRTCHostPlugin::peerConnectionDidRemoveStream(
    FlutterPeerConnection& peer, const std::shared_ptr<RTCMediaStream>& stream) {
  if (peer.remoteStreamEntryCount(*stream) >= 2) {
    NSLog("didRemoveStream - more than one stream entry found for stream instance with id: %s",
          stream->streamId().c_str());
  }
  for (const auto& track : stream->videoTracks()) peer.removeRemoteTrack(track->trackId());
  for (const auto& track : stream->audioTracks()) peer.removeRemoteTrack(track->trackId());
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onRemoveStream"}, {"streamId", stream->streamId()}});
  }
}

void WebRTCHostPlugin::peerConnectionMediaStreamDidAddTrack(
    FlutterPeerConnection& peer, const std::shared_ptr<RTCMediaStream>& stream,
    const std::shared_ptr<RTCMediaStreamTrack>& track) {
  peer.setRemoteTrack(track->trackId(), track);
  peer.setRemoteStream(stream->streamId(), stream);
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onAddTrack"},
                             {"streamId", stream->streamId()},
                             {"trackId", track->trackId()},
                             {"track", remoteTrackToMap(*track)}});
  }
}

void WebRTCHostPlugin::peerConnectionMediaStreamDidRemoveTrack(
    FlutterPeerConnection& peer, const std::shared_ptr<RTCMediaStream>& stream,
    const std::shared_ptr<RTCMediaStreamTrack>& track) {
  peer.removeRemoteTrack(track->trackId());
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onRemoveTrack"},
                             {"streamId", stream->streamId()},
                             {"trackId", track->trackId()},
                             {"track", remoteTrackToMap(*track)}});
  }
}

void WebRTCHostPlugin::peerConnectionDidAddReceiver(
    FlutterPeerConnection& peer, const std::shared_ptr<RTCRtpReceiver>& receiver,
    const std::vector<std::shared_ptr<RTCMediaStream>>& streams) {
  const auto& track = receiver->track();
  // The remote track and stream are recorded whether or not anybody listens yet, so that the
  // lookups find them once the Dart side asks.
  if (track) peer.setRemoteTrack(track->trackId(), track);
  if (!streams.empty()) peer.setRemoteStream(streams.front()->streamId(), streams.front());

  auto sink = peer.eventSink();
  if (!sink) return;
  ValueList stream_maps;
  for (const auto& stream : streams)
    stream_maps.push_back(mediaStreamToMap(*stream, peer.flutterId()));
  ValueMap event{{"event", "onTrack"},
                 {"track", mediaTrackToMap(track)},
                 {"receiver", receiverToMap(*receiver)},
                 {"streams", std::move(stream_maps)}};
  const auto& connection = peer.peerConnection();
  if (connection->configuration().sdpSemantics == RTCSdpSemanticsUnifiedPlan) {
    for (const auto& transceiver : connection->transceivers()) {
      if (transceiver->receiver() &&
          transceiver->receiver()->receiverId() == receiver->receiverId()) {
        event.set("transceiver", transceiverToMap(*transceiver));
      }
    }
  }
  postEvent(sink, std::move(event));
}

void WebRTCHostPlugin::peerConnectionShouldNegotiate(FlutterPeerConnection& peer) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onRenegotiationNeeded"}});
  }
}

void WebRTCHostPlugin::peerConnectionDidOpenDataChannel(
    FlutterPeerConnection& peer, const std::shared_ptr<RTCDataChannel>& dataChannel) {
  if (dataChannel->channelId() == -1) return;
  const std::string flutter_id = NSUUID().UUIDString();
  auto channel = std::make_shared<FlutterDataChannel>(
      dataChannel, peer.flutterId(), flutter_id, weak_from_this(), peer.dataChannelEventBudget());
  dataChannel->setDelegate(channel);
  peer.setDataChannel(flutter_id, channel);
  auto event_channel = FlutterEventChannel::eventChannelWithName(channel->eventChannelName(), messenger_);
  channel->setEventChannel(event_channel);
  std::weak_ptr<FlutterPeerConnection> weak_peer = peer.weak_from_this();
  dispatch_async(dispatch_get_main_queue(),
                 [event_channel, channel, weak_peer, label = dataChannel->label(),
                  channel_id = dataChannel->channelId(), flutter_id] {
                   auto peer = weak_peer.lock();
                   // Closed in the meantime: its channels' event channels are gone for good.
                   if (!peer || peer->dataChannel(flutter_id) != channel) return;
                   event_channel->setStreamHandler(std::make_shared<WeakStreamHandler>(channel));
                   if (auto sink = peer->eventSink()) {
                     postEvent(sink, ValueMap{{"event", "didOpenDataChannel"},
                                              {"id", int32_t{channel_id}},
                                              {"label", label},
                                              {"flutterId", flutter_id}});
                   }
                 });
}

void WebRTCHostPlugin::peerConnectionDidChangeLocalCandidate(FlutterPeerConnection& peer,
                                                             const RTCIceCandidate& local,
                                                             const RTCIceCandidate& remote,
                                                             int lastDataReceivedMs,
                                                             const std::string& reason) {
  if (auto sink = peer.eventSink()) {
    postEvent(sink, ValueMap{{"event", "onSelectedCandidatePairChanged"},
                             {"local", candidateToMap(local)},
                             {"remote", candidateToMap(remote)},
                             {"reason", reason},
                             {"lastDataReceivedMs", int32_t{lastDataReceivedMs}}});
  }
}

}  // namespace webrtc_host
