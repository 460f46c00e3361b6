// The frame-cryptor methods; the key-provider methods are in key_provider_methods.cc.
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/checked_arguments.h"
#include "plugins/webrtc_host/cryptor_algorithms.h"
#include "plugins/webrtc_host/rtp_maps.h"
#include "plugins/webrtc_host/weak_stream_handler.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueMap;

const MethodTable<WebRTCHostPlugin>& WebRTCHostPlugin::frameCryptorMethodTable() {
  using P = WebRTCHostPlugin;
  static const auto* const table = new MethodTable<P>{
      {"frameCryptorFactoryCreateFrameCryptor", &P::frameCryptorFactoryCreateFrameCryptor},
      {"frameCryptorSetKeyIndex", &P::frameCryptorSetKeyIndex},
      {"frameCryptorGetKeyIndex", &P::frameCryptorGetKeyIndex},
      {"frameCryptorSetEnabled", &P::frameCryptorSetEnabled},
      {"frameCryptorGetEnabled", &P::frameCryptorGetEnabled},
      {"frameCryptorDispose", &P::frameCryptorDispose},
  };
  return *table;
}

std::string WebRTCHostPlugin::stringForFrameCryptorState(int state) {
  switch (state) {
    case RTCFrameCryptorStateNew:
      return "new";
    case RTCFrameCryptorStateOk:
      return "ok";
    case RTCFrameCryptorStateEncryptionFailed:
      return "encryptionFailed";
    case RTCFrameCryptorStateDecryptionFailed:
      return "decryptionFailed";
    case RTCFrameCryptorStateMissingKey:
      return "missingKey";
    case RTCFrameCryptorStateKeyRatcheted:
      return "keyRatcheted";
    case RTCFrameCryptorStateInternalError:
      return "internalError";
    default:
      return "unknown";
  }
}

void WebRTCHostPlugin::frameCryptorFactoryCreateFrameCryptor(const FlutterMethodCall& call,
                                                             FlutterResult result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  auto algorithm = arguments.int32("algorithm");
  if (!algorithm.ok()) return result(algorithm.error());
  auto participant_id = arguments.string("participantId");
  if (!participant_id.ok()) return result(participant_id.error());
  auto key_provider_id = arguments.string("keyProviderId");
  if (!key_provider_id.ok()) return result(key_provider_id.error());
  auto provider = cryptors_.keyProviders.find(*key_provider_id);
  if (!provider) return result(arguments.error("Invalid keyProvider"));

  const Arguments read(call.arguments);
  const auto type = read.optionalString("type");
  const auto& connection = *peer->peerConnection();
  std::shared_ptr<RTCFrameCryptor> cryptor;
  if (type == "sender") {
    auto sender = rtpSenderForId(connection, read.string("rtpSenderId"));
    if (!sender) return result(arguments.error("Error: sender not found!"));
    cryptor = RTCFrameCryptor::initWithFactory(peer_connection_factory_, sender, *participant_id,
                                               cryptorAlgorithmForValue(*algorithm), provider);
  } else if (type == "receiver") {
    auto receiver = rtpReceiverForId(connection, read.string("rtpReceiverId"));
    if (!receiver) return result(arguments.error("Error: receiver not found!"));
    cryptor = RTCFrameCryptor::initWithFactory(peer_connection_factory_, receiver, *participant_id,
                                               cryptorAlgorithmForValue(*algorithm), provider);
  } else {
    result(FlutterError{"InvalidArgument", "Invalid type", nullptr});
    return;
  }
  if (!cryptor) return result(arguments.error("Error: frameCryptor could not be created!"));

  const std::string id = NSUUID().UUIDString();
  const std::string event_channel_name = "WebRTCHost/frameCryptorEvent" + id;
  auto frame_cryptor =
      std::make_shared<FlutterFrameCryptor>(cryptor, weak_from_this(), event_channel_name);
  auto event_channel = FlutterEventChannel::eventChannelWithName(event_channel_name, messenger_);
  frame_cryptor->setEventChannel(event_channel);
  event_channel->setStreamHandler(std::make_shared<WeakStreamHandler>(frame_cryptor));
  cryptor->setDelegate(frame_cryptor);
  cryptors_.frameCryptors.add(id, std::move(frame_cryptor));
  result(ValueMap{{"frameCryptorId", id}});
}

std::shared_ptr<FlutterFrameCryptor> WebRTCHostPlugin::frameCryptorForId(
    const FlutterMethodCall& call, FlutterResult& result) const {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto id = arguments.string("frameCryptorId");
  if (!id.ok()) {
    result(id.error());
    return nullptr;
  }
  auto found = cryptors_.frameCryptors.find(*id);
  if (!found) result(arguments.error("Invalid frameCryptor"));
  return found;
}

void WebRTCHostPlugin::frameCryptorSetKeyIndex(const FlutterMethodCall& call,
                                               FlutterResult result) {
  auto frame_cryptor = frameCryptorForId(call, result);
  if (!frame_cryptor) return;
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto key_index = arguments.int32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  if (!frame_cryptor->cryptor()->setKeyIndex(*key_index))
    return result(arguments.invalid("keyIndex"));
  result(ValueMap{{"result", true}});
}

void WebRTCHostPlugin::frameCryptorGetKeyIndex(const FlutterMethodCall& call,
                                               FlutterResult result) {
  auto frame_cryptor = frameCryptorForId(call, result);
  if (!frame_cryptor) return;
  result(ValueMap{{"keyIndex", int32_t{frame_cryptor->cryptor()->keyIndex()}}});
}

void WebRTCHostPlugin::frameCryptorSetEnabled(const FlutterMethodCall& call, FlutterResult result) {
  auto frame_cryptor = frameCryptorForId(call, result);
  if (!frame_cryptor) return;
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto enabled = arguments.boolean("enabled");
  if (!enabled.ok()) return result(enabled.error());
  frame_cryptor->cryptor()->setEnabled(*enabled);
  result(ValueMap{{"result", *enabled}});
}

void WebRTCHostPlugin::frameCryptorGetEnabled(const FlutterMethodCall& call, FlutterResult result) {
  auto frame_cryptor = frameCryptorForId(call, result);
  if (!frame_cryptor) return;
  result(ValueMap{{"enabled", frame_cryptor->cryptor()->enabled()}});
}

void WebRTCHostPlugin::frameCryptorDispose(const FlutterMethodCall& call, FlutterResult result) {
  auto frame_cryptor = frameCryptorForId(call, result);
  if (!frame_cryptor) return;
  cryptors_.frameCryptors.removeObject(frame_cryptor.get());
  frame_cryptor->dispose();
  result(ValueMap{{"result", "success"}});
}

void WebRTCHostPlugin::frameCryptorDidStateChangeWithParticipantId(
    FlutterFrameCryptor& frameCryptor, const std::string& participantId, int state) {
  frameCryptor.sendEvent(ValueMap{{"event", "frameCryptionStateChanged"},
                                  {"participantId", participantId},
                                  {"state", stringForFrameCryptorState(state)}});
}

}  // namespace webrtc_host
