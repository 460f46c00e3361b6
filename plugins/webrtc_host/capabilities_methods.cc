// The codecs the factory can send or receive, and a transceiver's codec preferences.

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/rtp_maps.h"
#include "plugins/webrtc_host/sdp_fmtp_line.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

Value capabilitiesToMap(const RTCRtpCapabilities& capabilities, const std::string& kind) {
  ValueList codecs;
  for (const auto& codec : capabilities.codecs) {
    if (kind == "audio") {
      codecs.push_back(ValueMap{{"channels", valueOrNull(codec.numChannels)},
                                {"clockRate", valueOrNull(codec.clockRate)},
                                {"mimeType", codec.mimeType},
                                {"sdpFmtpLine", fmtpLineFromParameters(codec.parameters)}});
    } else if (kind == "video") {
      codecs.push_back(ValueMap{{"clockRate", valueOrNull(codec.clockRate)},
                                {"mimeType", codec.mimeType},
                                {"sdpFmtpLine", fmtpLineFromParameters(codec.parameters)}});
    }
  }
  return ValueMap{{"codecs", std::move(codecs)},
                  {"headerExtensions", ValueList{}},
                  {"fecMechanisms", ValueList{}}};
}

std::string mediaKindFor(const std::string& kind) {
  return kind == "video" ? kRTCMediaStreamTrackKindVideo : kRTCMediaStreamTrackKindAudio;
}

}  // namespace

void WebRTCHostPlugin::handleGetRtpReceiverCapabilities(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize first"));
    return;
  }
  const std::string kind = Arguments(call.arguments).string("kind");
  result(capabilitiesToMap(
      peer_connection_factory_->rtpReceiverCapabilitiesForKind(mediaKindFor(kind)), kind));
}

void WebRTCHostPlugin::handleGetRtpSenderCapabilities(const FlutterMethodCall& call,
                                                      FlutterResult result) {
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize first"));
    return;
  }
  const std::string kind = Arguments(call.arguments).string("kind");
  result(capabilitiesToMap(
      peer_connection_factory_->rtpSenderCapabilitiesForKind(mediaKindFor(kind)), kind));
}

std::optional<RTCRtpCodecCapability> WebRTCHostPlugin::findCodecCapability(
    const std::string& kind, const std::string& name,
    const std::optional<std::map<std::string, std::string>>& parameters) const {
  if (!peer_connection_factory_) return std::nullopt;
  auto capabilities = peer_connection_factory_->rtpSenderCapabilitiesForKind(mediaKindFor(kind));
  for (const auto& codec : capabilities.codecs) {
    if (codec.name != name || codec.kind != kind) continue;
    if (codec.parameters.empty()) return codec;
    if (!parameters) continue;
    bool all_match = true;
    for (const auto& [key, value] : codec.parameters) {
      auto given = parameters->find(key);
      if (given == parameters->end() || given->second != value) {
        all_match = false;
        break;
      }
    }
    if (all_match) return codec;
  }
  return std::nullopt;
}

void WebRTCHostPlugin::handleSetCodecPreferences(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto transceiver = transceiverFor(call, result, "transceiverSetCodecPreferencesFailed");
  if (!transceiver) return;
  std::vector<RTCRtpCodecCapability> preferences;
  if (const flutter::ValueList* codecs = arguments.list("codecs")) {
    for (const auto& entry : *codecs) {
      const Arguments codec(entry);
      const std::string mime_type = codec.string("mimeType");
      const size_t slash = mime_type.find('/');
      // Without "/" there is no codec name: the entry names nothing and is dropped.
      if (slash == std::string::npos) continue;
      const std::string kind = foundation::asciiLowercased(mime_type.substr(0, slash));
      const size_t name_end = mime_type.find('/', slash + 1);
      const std::string name = mime_type.substr(
          slash + 1, name_end == std::string::npos ? std::string::npos : name_end - slash - 1);
      NSLog("codec %s/%s", kind.c_str(), name.c_str());
      std::optional<std::map<std::string, std::string>> parameters;
      if (auto line = codec.optionalString("sdpFmtpLine"); line && !line->empty()) {
        parameters = parametersFromFmtpLine(*line);
      }
      if (auto capability = findCodecCapability(kind, name, parameters)) {
        preferences.push_back(std::move(*capability));
      }
    }
  }
  std::optional<NSError> error;
  if (!transceiver->setCodecPreferences(std::move(preferences), &error)) {
    result(FlutterError{"SetCodecPreferencesError",
                        error ? error->localizedDescription : std::string(), nullptr});
    return;
  }
  result(nullptr);
}

}  // namespace webrtc_host
