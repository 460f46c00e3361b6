// Creating, closing and configuring peer connections, their streams and their states.
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/configuration_conversion.h"
#include "plugins/webrtc_host/state_strings.h"
#include "plugins/webrtc_host/weak_stream_handler.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

// What each state query reads of the connection.
using StateReader = std::optional<std::string> (*)(const RTCPeerConnection&);
const std::map<std::string, StateReader>& stateReaders() {
  static const auto* const readers = new std::map<std::string, StateReader>{
      {"getSignalingState",
       [](const RTCPeerConnection& c) { return stringForSignalingState(c.signalingState()); }},
      {"getIceGatheringState",
       [](const RTCPeerConnection& c) {
         return stringForICEGatheringState(c.iceGatheringState());
       }},
      {"getIceConnectionState",
       [](const RTCPeerConnection& c) {
         return stringForICEConnectionState(c.iceConnectionState());
       }},
      {"getConnectionState",
       [](const RTCPeerConnection& c) {
         return stringForPeerConnectionState(c.connectionState());
       }},
  };
  return *readers;
}

}  // namespace

void WebRTCHostPlugin::handleCreatePeerConnection(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  const Arguments arguments(call.arguments);
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize before createPeerConnection"));
    return;
  }
  auto configuration = toRTCConfiguration(arguments.value("configuration"));
  auto constraints = parseMediaConstraints(arguments.value("constraints"));
  const std::string id = NSUUID().UUIDString();
  auto peer = std::make_shared<FlutterPeerConnection>(id, weak_from_this());
  auto connection =
      peer_connection_factory_->peerConnectionWithConfiguration(configuration, constraints, peer);
  if (!connection) {
    result(failedError(call.method, "Error: the peer connection could not be created"));
    return;
  }
  auto event_channel =
      FlutterEventChannel::eventChannelWithName("WebRTCHost/peerConnectionEvent" + id, messenger_);
  event_channel->setStreamHandler(std::make_shared<WeakStreamHandler>(peer));
  peer->attach(std::move(connection), std::move(event_channel));
  peer_connections_.add(id, std::move(peer));
  result(flutter::ValueMap{{"peerConnectionId", id}});
}

void WebRTCHostPlugin::peerConnectionClose(FlutterPeerConnection& peer) {
  peer.peerConnection()->close();
  peer.clearRemote();
  // A closed connection hears nothing more: its channels and its data channels' go.
  for (const auto& channel : peer.takeDataChannels()) {
    channel->channel()->setDelegate({});
    if (const auto& events = channel->eventChannel()) events->setStreamHandler(nullptr);
  }
  if (const auto& events = peer.eventChannel()) events->setStreamHandler(nullptr);
}

void WebRTCHostPlugin::handlePeerConnectionClose(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  const std::string id = Arguments(call.arguments).string("peerConnectionId");
  if (auto peer = peer_connections_.remove(id)) {
    peerConnectionClose(*peer);
    abandonCapturesOfDisposedTracks();
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleRestartIce(const FlutterMethodCall& call, FlutterResult result) {
  auto peer = peer_connections_.find(Arguments(call.arguments).string("peerConnectionId"));
  if (!peer) {
    result(codeOnly("restartIce: peerConnection is nil"));
    return;
  }
  peer->peerConnection()->restartIce();
  result(nullptr);
}

void WebRTCHostPlugin::handleSetConfiguration(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  if (!peer->peerConnection()->setConfiguration(
          toRTCConfiguration(arguments.value("configuration")))) {
    result(failedError(call.method, "Error: the configuration could not be applied"));
    return;
  }
  result(nullptr);
}

std::pair<std::shared_ptr<FlutterPeerConnection>, std::shared_ptr<RTCMediaStream>>
WebRTCHostPlugin::peerConnectionAndStreamFor(const FlutterMethodCall& call,
                                             FlutterResult& result) const {
  const Arguments arguments(call.arguments);
  auto stream = local_media_.stream(arguments.string("streamId"));
  auto peer = peer_connections_.find(arguments.string("peerConnectionId"));
  if (!peer || !stream) {
    result(failedError(call.method, "Error: peerConnection or mediaStream not found!"));
    return {};
  }
  return {std::move(peer), std::move(stream)};
}

void WebRTCHostPlugin::handleAddStream(const FlutterMethodCall& call, FlutterResult result) {
  auto [peer, stream] = peerConnectionAndStreamFor(call, result);
  if (!peer) return;
  if (!peer->peerConnection()->addStream(stream)) {
    result(failedError(call.method, "Error: peerConnection.addStream failed!"));
    return;
  }
  result(flutter::Value(""));
}

void WebRTCHostPlugin::handleRemoveStream(const FlutterMethodCall& call, FlutterResult result) {
  auto [peer, stream] = peerConnectionAndStreamFor(call, result);
  if (!peer) return;
  peer->peerConnection()->removeStream(stream);
  result(nullptr);
}

void WebRTCHostPlugin::handleGetState(const FlutterMethodCall& call, FlutterResult result) {
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  // The method table routes only the names listed here.
  const auto read_state = stateReaders().at(call.method);
  result(flutter::ValueMap{{"state", valueOrNull(read_state(*peer->peerConnection()))}});
}

}  // namespace webrtc_host
