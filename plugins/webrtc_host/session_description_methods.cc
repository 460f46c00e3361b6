// Offers and answers, the local and remote descriptions, remote candidates and statistics. The
// operations that complete later answer from the framework's completion handlers, on its
// signaling thread.
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/configuration_conversion.h"
#include "plugins/webrtc_host/statistics_map.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

flutter::Value descriptionToMap(const RTCSessionDescription& description) {
  return flutter::ValueMap{{"sdp", description.sdp()},
                           {"type", RTCSessionDescription::stringForType(description.type())}};
}

FlutterError completionError(const char* code, const NSError& error) {
  return FlutterError{code, "Error " + error.localizedDescription, nullptr};
}

RTCPeerConnection::SessionDescriptionHandler answerWithDescription(FlutterResult result,
                                                                   const char* failureCode) {
  return [result, failureCode](std::optional<RTCSessionDescription> description,
                               std::optional<NSError> error) {
    if (error || !description) {
      result(completionError(failureCode, error.value_or(NSError{})));
    } else {
      result(descriptionToMap(*description));
    }
  };
}

RTCPeerConnection::ErrorHandler answerWithNil(FlutterResult result, const char* failureCode) {
  return [result, failureCode](std::optional<NSError> error) {
    if (error) {
      result(completionError(failureCode, *error));
    } else {
      result(nullptr);
    }
  };
}

// The description a setter was given; nullopt when its type is none the framework knows.
std::optional<RTCSessionDescription> descriptionFrom(const Arguments& arguments) {
  const flutter::Value* given = arguments.value("description");
  static const flutter::Value kNone;
  const Arguments description(given != nullptr ? *given : kNone);
  auto type = RTCSessionDescription::typeForString(description.string("type"));
  if (!type) return std::nullopt;
  return RTCSessionDescription(*type, description.string("sdp"));
}

}  // namespace

void WebRTCHostPlugin::handleCreateOffer(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  peer->peerConnection()->offerForConstraints(parseMediaConstraints(arguments.value("constraints")),
                                              answerWithDescription(result, "CreateOfferFailed"));
}

void WebRTCHostPlugin::handleCreateAnswer(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  peer->peerConnection()->answerForConstraints(
      parseMediaConstraints(arguments.value("constraints")),
      answerWithDescription(result, "CreateAnswerFailed"));
}

void WebRTCHostPlugin::handleSetDescription(const FlutterMethodCall& call, FlutterResult result) {
  const bool local = call.method == "setLocalDescription";
  const char* failure_code = local ? "SetLocalDescriptionFailed" : "SetRemoteDescriptionFailed";
  auto description = descriptionFrom(Arguments(call.arguments));
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  if (!description) {
    result(FlutterError{failure_code, "Error Invalid session description type", nullptr});
    return;
  }
  auto& connection = *peer->peerConnection();
  if (local) {
    connection.setLocalDescription(*description, answerWithNil(result, failure_code));
  } else {
    connection.setRemoteDescription(*description, answerWithNil(result, failure_code));
  }
}

void WebRTCHostPlugin::handleAddCandidate(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  const flutter::Value* given = arguments.value("candidate");
  static const flutter::Value kNone;
  const Arguments candidate(given != nullptr ? *given : kNone);
  RTCIceCandidate ice_candidate(candidate.string("candidate"), candidate.intValue("sdpMLineIndex"),
                                candidate.string("sdpMid"));
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  peer->peerConnection()->addIceCandidate(ice_candidate,
                                          answerWithNil(result, "AddIceCandidateFailed"));
}

void WebRTCHostPlugin::handleGetLocalDescription(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  auto description = peer->peerConnection()->localDescription();
  result(description ? descriptionToMap(*description) : flutter::Value());
}

void WebRTCHostPlugin::handleGetRemoteDescription(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  auto description = peer->peerConnection()->remoteDescription();
  result(description ? descriptionToMap(*description) : flutter::Value());
}

void WebRTCHostPlugin::handleGetStats(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  auto answer = [result](const RTCStatisticsReport& report) {
    result(statisticsReportToMap(report));
  };
  if (!arguments.has("trackId")) {
    peer->peerConnection()->statisticsWithCompletionHandler(answer);
    return;
  }
  peerConnectionGetStatsForTrackId(arguments.string("trackId"), *peer->peerConnection(),
                                   std::move(result));
}

void WebRTCHostPlugin::peerConnectionGetStatsForTrackId(const std::string& trackId,
                                                        RTCPeerConnection& peerConnection,
                                                        FlutterResult result) {
  std::shared_ptr<RTCRtpSender> sender;
  for (const auto& candidate : peerConnection.senders()) {
    auto track = candidate->track();
    if (track && track->trackId() == trackId) sender = candidate;
  }
  std::shared_ptr<RTCRtpReceiver> receiver;
  for (const auto& candidate : peerConnection.receivers()) {
    const auto& track = candidate->track();
    if (track && track->trackId() == trackId) receiver = candidate;
  }
  auto answer = [result](const RTCStatisticsReport& report) {
    result(statisticsReportToMap(report));
  };
  if (sender) {
    peerConnection.statisticsForSender(sender, answer);
  } else if (receiver) {
    peerConnection.statisticsForReceiver(receiver, answer);
  } else {
    result(FlutterError{"GetStatsFailed", "Error ", nullptr});
  }
}

}  // namespace webrtc_host
