// What a peer connection sends and receives: tracks, transceivers, senders and receivers.
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/rtp_maps.h"
#include "plugins/webrtc_host/rtp_parameters_conversion.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

constexpr const char* kTrackNotFound = "Error: track not found!";

// The maps of a connection's senders, receivers or transceivers, in its order.
template <typename Item>
flutter::ValueList mapsOf(const std::vector<std::shared_ptr<Item>>& items,
                          flutter::Value (*toMap)(const Item&)) {
  flutter::ValueList maps;
  for (const auto& item : items) maps.push_back(toMap(*item));
  return maps;
}

}  // namespace

std::pair<std::shared_ptr<FlutterPeerConnection>, std::shared_ptr<RTCRtpSender>>
WebRTCHostPlugin::rtpSenderFor(const FlutterMethodCall& call, FlutterResult& result,
                               std::string_view key) const {
  auto peer = peerConnectionFor(call, result);
  if (!peer) return {};
  auto sender = rtpSenderForId(*peer->peerConnection(), Arguments(call.arguments).string(key));
  if (!sender) {
    result(failedError(call.method, "Error: sender not found!"));
    return {};
  }
  return {std::move(peer), std::move(sender)};
}

std::shared_ptr<RTCRtpTransceiver> WebRTCHostPlugin::transceiverFor(
    const FlutterMethodCall& call, FlutterResult& result, const std::string& failureCode) const {
  auto peer = peerConnectionFor(call, result, failureCode);
  if (!peer) return nullptr;
  auto transceiver = rtpTransceiverForId(*peer->peerConnection(),
                                           Arguments(call.arguments).string("transceiverId"));
  if (!transceiver) {
    result(FlutterError{failureCode.empty() ? call.method + "Failed" : failureCode,
                        "Error: transcevier not found!", nullptr});
  }
  return transceiver;
}

void WebRTCHostPlugin::handleAddTrack(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  auto track = trackForId(arguments.string("trackId"), std::nullopt);
  if (!track) {
    result(failedError(call.method, kTrackNotFound));
    return;
  }
  auto sender = peer->peerConnection()->addTrack(track, arguments.stringList("streamIds"));
  if (!sender) {
    result(failedError(call.method, "Error: peerConnection.addTrack failed!"));
    return;
  }
  result(rtpSenderToMap(*sender));
}

void WebRTCHostPlugin::handleRemoveTrack(const FlutterMethodCall& call, FlutterResult result) {
  auto [peer, sender] = rtpSenderFor(call, result, "senderId");
  if (!sender) return;
  result(flutter::ValueMap{{"result", peer->peerConnection()->removeTrack(sender)}});
}

void WebRTCHostPlugin::handleAddTransceiver(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  const auto& connection = peer->peerConnection();
  const flutter::ValueMap* init_map = arguments.map("transceiverInit");
  std::shared_ptr<RTCRtpTransceiver> transceiver;
  if (arguments.has("trackId")) {
    auto track = trackForId(arguments.string("trackId"), std::nullopt);
    transceiver = init_map
                      ? connection->addTransceiverWithTrack(track, mapToTransceiverInit(*init_map))
                      : connection->addTransceiverWithTrack(track);
  } else if (arguments.has("mediaType")) {
    const auto media_type = stringToRtpMediaType(arguments.string("mediaType"));
    transceiver =
        init_map ? connection->addTransceiverOfType(media_type, mapToTransceiverInit(*init_map))
                 : connection->addTransceiverOfType(media_type);
  } else {
    result(failedError(call.method, "Error: Incomplete parameters!"));
    return;
  }
  if (!transceiver) {
    result(failedError(call.method, "Error: can't addTransceiver!"));
    return;
  }
  result(transceiverToMap(*transceiver));
}

void WebRTCHostPlugin::handleRtpTransceiverSetDirection(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto transceiver = transceiverFor(call, result);
  if (!transceiver) return;
  std::optional<NSError> refusal;
  if (!transceiver->setDirection(stringToTransceiverDirection(arguments.string("direction")),
                                 &refusal)) {
    result(failedError(call.method,
                       "Error: " + (refusal ? refusal->localizedDescription : "refused")));
    return;
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleRtpTransceiverGetDirection(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  auto transceiver = transceiverFor(call, result);
  if (!transceiver) return;
  auto reply = [](const std::optional<std::string>& direction) {
    return flutter::ValueMap{{"result", valueOrNull(direction)}};
  };
  if (call.method == "rtpTransceiverGetDirection") {
    result(reply(transceiverDirectionString(transceiver->direction())));
    return;
  }
  RTCRtpTransceiverDirection current = transceiver->direction();
  if (transceiver->currentDirection(&current)) {
    result(reply(transceiverDirectionString(current)));
  } else {
    result(nullptr);
  }
}

void WebRTCHostPlugin::handleRtpTransceiverStop(const FlutterMethodCall& call,
                                                FlutterResult result) {
  auto transceiver = transceiverFor(call, result);
  if (!transceiver) return;
  transceiver->stopInternal();
  result(nullptr);
}

void WebRTCHostPlugin::handleRtpSenderSetParameters(const FlutterMethodCall& call,
                                                    FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto [peer, sender] = rtpSenderFor(call, result);
  if (!sender) return;
  auto parameters = sender->parameters();
  if (const flutter::ValueMap* update = arguments.map("parameters")) {
    updateRtpParameters(parameters, *update);
  }
  result(flutter::ValueMap{{"result", sender->setParameters(parameters)}});
}

void WebRTCHostPlugin::handleRtpSenderReplaceTrack(const FlutterMethodCall& call,
                                                   FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto [peer, sender] = rtpSenderFor(call, result);
  if (!sender) return;
  std::shared_ptr<RTCMediaStreamTrack> track;
  const flutter::Value* given = arguments.value("trackId");
  // Only an absent, null or empty id detaches; any other value must name a track.
  if (given != nullptr && !given->isNull() && given->asString() == nullptr) {
    result(failedError(call.method, kTrackNotFound));
    return;
  }
  const std::string track_id = arguments.string("trackId");
  if (!track_id.empty()) {
    track = trackForId(track_id, std::nullopt);
    if (!track) {
      result(failedError(call.method, kTrackNotFound));
      return;
    }
  }
  sender->setTrack(track);
  result(nullptr);
}

void WebRTCHostPlugin::handleRtpSenderSetStreams(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto [peer, sender] = rtpSenderFor(call, result);
  if (!sender) return;
  sender->setStreamIds(arguments.stringList("streamIds"));
  result(nullptr);
}

void WebRTCHostPlugin::handleGetSenders(const FlutterMethodCall& call, FlutterResult result) {
  if (auto peer = peerConnectionFor(call, result)) {
    result(
        flutter::ValueMap{{"senders", mapsOf(peer->peerConnection()->senders(), rtpSenderToMap)}});
  }
}

void WebRTCHostPlugin::handleGetReceivers(const FlutterMethodCall& call, FlutterResult result) {
  if (auto peer = peerConnectionFor(call, result)) {
    result(flutter::ValueMap{
        {"receivers", mapsOf(peer->peerConnection()->receivers(), receiverToMap)}});
  }
}

void WebRTCHostPlugin::handleGetTransceivers(const FlutterMethodCall& call, FlutterResult result) {
  if (auto peer = peerConnectionFor(call, result)) {
    result(flutter::ValueMap{
        {"transceivers", mapsOf(peer->peerConnection()->transceivers(), transceiverToMap)}});
  }
}

}  // namespace webrtc_host
