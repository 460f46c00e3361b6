// Key providers: made from the Dart side's options, given keys, ratcheted, exported, disposed.
#include "plugins/webrtc_host/key_provider_methods.h"

#include <variant>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/checked_arguments.h"
#include "plugins/webrtc_host/cryptor_algorithms.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueMap;

namespace {

// Key derivation is slow on purpose (PBKDF2): `work` runs on the provider's serial queue, off the
// main thread, and its answer hops back to the main queue, so answers keep call order and an
// export sees every key set before it.
template <typename Work>
void deriveThenAnswer(const std::shared_ptr<RTCFrameCryptorKeyProvider>& provider, Work work,
                      FlutterResult result) {
  dispatch_async(provider->derivationQueue(), [provider, work = std::move(work), result] {
    auto answer = std::make_shared<FlutterMethodResponse>(work(*provider));
    dispatch_async(dispatch_get_main_queue(), [answer, result] {
      std::visit([&](auto& response) { result(std::move(response)); }, *answer);
    });
  });
}

// Reads the key index, and the participant for a participant's key, then answers the key
// material `operation` yields: a ratchet or an export. One that finds no key gives no bytes; the
// call still gets an answer.
template <typename Operation>
void answerKeyOperation(const FlutterMethodCall& call,
                        const std::shared_ptr<RTCFrameCryptorKeyProvider>& provider,
                        bool perParticipant, Operation operation, FlutterResult& result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto key_index = arguments.int32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  std::string participant;
  if (perParticipant) {
    auto participant_id = arguments.string("participantId");
    if (!participant_id.ok()) return result(participant_id.error());
    participant = *participant_id;
  }
  deriveThenAnswer(
      provider,
      [operation, participant, index = *key_index,
       no_key = arguments.error("Error: no key at that index")](
          RTCFrameCryptorKeyProvider& keys) -> FlutterMethodResponse {
        auto material = operation(keys, participant, index);
        if (material.empty()) return no_key;
        return flutter::Value(ValueMap{{"result", material}});
      },
      std::move(result));
}

// Stores a key off the main thread; a key whose derivation fails is invalid.
template <typename Store>
void answerKeyStore(const std::shared_ptr<RTCFrameCryptorKeyProvider>& provider, Store store,
                    FlutterError invalid_key, FlutterResult result) {
  deriveThenAnswer(
      provider,
      [store = std::move(store),
       invalid_key = std::move(invalid_key)](RTCFrameCryptorKeyProvider& keys) -> FlutterMethodResponse {
        if (!store(keys)) return invalid_key;
        return flutter::Value(ValueMap{{"result", true}});
      },
      std::move(result));
}

}  // namespace

const MethodTable<KeyProviderMethods>& KeyProviderMethods::methodTable() {
  using M = KeyProviderMethods;
  static const auto* const table = new MethodTable<M>{
      {"frameCryptorFactoryCreateKeyProvider", &M::frameCryptorFactoryCreateKeyProvider},
      {"keyProviderSetSharedKey", &M::keyProviderSetSharedKey},
      {"keyProviderRatchetSharedKey", &M::keyProviderRatchetSharedKey},
      {"keyProviderExportSharedKey", &M::keyProviderExportSharedKey},
      {"keyProviderSetKey", &M::keyProviderSetKey},
      {"keyProviderRatchetKey", &M::keyProviderRatchetKey},
      {"keyProviderExportKey", &M::keyProviderExportKey},
      {"keyProviderSetSifTrailer", &M::keyProviderSetSifTrailer},
      {"keyProviderDispose", &M::keyProviderDispose},
  };
  return *table;
}

bool KeyProviderMethods::handleMethodCall(const FlutterMethodCall& call, FlutterResult& result) {
  return dispatchMethodCall(*this, methodTable(), call, result);
}

void KeyProviderMethods::frameCryptorFactoryCreateKeyProvider(const FlutterMethodCall& call,
                                                              FlutterResult result) {
  const std::string id = NSUUID().UUIDString();
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto options_map = arguments.map("keyProviderOptions");
  if (!options_map.ok()) return result(options_map.error());
  const ValueMap& options = **options_map;
  const Value& options_value = *Arguments(call.arguments).value("keyProviderOptions");
  const CheckedArguments required(options_value, call.method + "Failed");
  auto shared_key = required.boolean("sharedKey");
  if (!shared_key.ok()) return result(shared_key.error());
  auto ratchet_salt = required.bytes("ratchetSalt");
  if (!ratchet_salt.ok()) return result(ratchet_salt.error());
  auto ratchet_window_size = required.int32("ratchetWindowSize");
  if (!ratchet_window_size.ok()) return result(ratchet_window_size.error());
  // Optional options read as absent when they hold another type.
  auto failure_tolerance = required.int32("failureTolerance");
  auto key_ring_size = required.int32("keyRingSize");

  std::optional<std::vector<uint8_t>> magic_bytes;
  if (const Value* magic = options.find(std::string_view("uncryptedMagicBytes"))) {
    magic_bytes = typedDataBytes(*magic);
  }
  const Value* discard = options.find(std::string_view("discardFrameWhenCryptorNotReady"));
  auto provider = RTCFrameCryptorKeyProvider::initWithRatchetSalt(
      *ratchet_salt, *ratchet_window_size, *shared_key, std::move(magic_bytes),
      failure_tolerance.ok() ? *failure_tolerance : -1, key_ring_size.ok() ? *key_ring_size : 0,
      discard != nullptr && discard->boolValue(),
      keyDerivationAlgorithmForValue(options.find(std::string_view("keyDerivationAlgorithm"))));
  key_providers_.add(id, std::move(provider));
  result(ValueMap{{"keyProviderId", id}});
}

std::shared_ptr<RTCFrameCryptorKeyProvider> KeyProviderMethods::keyProviderFor(
    const flutter::Value& arguments, FlutterResult& result) const {
  const CheckedArguments read(arguments, "getKeyProviderForIdFailed");
  auto id = read.string("keyProviderId");
  if (!id.ok()) {
    result(id.error());
    return nullptr;
  }
  auto found = key_providers_.find(*id);
  if (!found) {
    result(read.error("Invalid keyProvider"));
    return nullptr;
  }
  return found;
}

void KeyProviderMethods::keyProviderSetSharedKey(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  // Shares its error code with "keyProviderSetKey".
  const CheckedArguments arguments(call.arguments, "keyProviderSetKeyFailed");
  auto key_index = arguments.int32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  auto key = arguments.bytes("key");
  if (!key.ok()) return result(key.error());
  if (*key_index < 0 || *key_index >= provider->keyRingSize()) {
    return result(arguments.invalid("keyIndex"));
  }
  answerKeyStore(
      provider,
      [key = *key, index = *key_index](RTCFrameCryptorKeyProvider& keys) {
        return keys.setSharedKey(key, index);
      },
      arguments.invalid("key"), std::move(result));
}

void KeyProviderMethods::keyProviderRatchetSharedKey(const FlutterMethodCall& call,
                                                     FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  answerKeyOperation(
      call, provider, false,
      [](RTCFrameCryptorKeyProvider& keys, const std::string& /*participant*/, int32_t index) {
        return keys.ratchetSharedKey(index);
      },
      result);
}

void KeyProviderMethods::keyProviderExportSharedKey(const FlutterMethodCall& call,
                                                    FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  answerKeyOperation(
      call, provider, false,
      [](RTCFrameCryptorKeyProvider& keys, const std::string& /*participant*/, int32_t index) {
        return keys.exportSharedKey(index);
      },
      result);
}

void KeyProviderMethods::keyProviderSetKey(const FlutterMethodCall& call, FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto key_index = arguments.int32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  auto key = arguments.bytes("key");
  if (!key.ok()) return result(key.error());
  auto participant_id = arguments.string("participantId");
  if (!participant_id.ok()) return result(participant_id.error());
  if (*key_index < 0 || *key_index >= provider->keyRingSize()) {
    return result(arguments.invalid("keyIndex"));
  }
  answerKeyStore(
      provider,
      [key = *key, index = *key_index, participant = *participant_id](
          RTCFrameCryptorKeyProvider& keys) { return keys.setKey(key, index, participant); },
      arguments.invalid("key"), std::move(result));
}

void KeyProviderMethods::keyProviderRatchetKey(const FlutterMethodCall& call,
                                               FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  answerKeyOperation(
      call, provider, true,
      [](RTCFrameCryptorKeyProvider& keys, const std::string& participant, int32_t index) {
        return keys.ratchetKey(participant, index);
      },
      result);
}

void KeyProviderMethods::keyProviderExportKey(const FlutterMethodCall& call, FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  answerKeyOperation(
      call, provider, true,
      [](RTCFrameCryptorKeyProvider& keys, const std::string& participant, int32_t index) {
        return keys.exportKey(participant, index);
      },
      result);
}

void KeyProviderMethods::keyProviderSetSifTrailer(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  auto provider = keyProviderFor(call.arguments, result);
  if (!provider) return;
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto trailer = arguments.bytes("sifTrailer");
  if (!trailer.ok()) return result(arguments.invalid("key"));
  provider->setSifTrailer(*trailer);
  result(nullptr);
}

void KeyProviderMethods::keyProviderDispose(const FlutterMethodCall& call, FlutterResult result) {
  const CheckedArguments arguments(call.arguments, "getKeyProviderForIdFailed");
  auto id = arguments.string("keyProviderId");
  if (!id.ok()) return result(id.error());
  // Cryptors made with the provider keep it.
  key_providers_.remove(*id);
  result(ValueMap{{"result", "success"}});
}

}  // namespace webrtc_host
