#include "plugins/webrtc_host/data_packet_cryptor_methods.h"

#include <limits>

#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/checked_arguments.h"
#include "plugins/webrtc_host/cryptor_algorithms.h"

namespace webrtc_host {

using flutter::Value;
using flutter::ValueMap;

namespace {

// An unsigned 32-bit number as the codec carries it: int32 while it fits, int64 above.
Value unsignedValue(uint32_t number) {
  if (number <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    return Value(static_cast<int32_t>(number));
  }
  return Value(static_cast<int64_t>(number));
}

}  // namespace

const MethodTable<DataPacketCryptorMethods>& DataPacketCryptorMethods::methodTable() {
  using M = DataPacketCryptorMethods;
  static const auto* const table = new MethodTable<M>{
      {"createDataPacketCryptor", &M::createDataPacketCryptor},
      {"dataPacketCryptorEncrypt", &M::dataPacketCryptorEncrypt},
      {"dataPacketCryptorDecrypt", &M::dataPacketCryptorDecrypt},
      {"dataPacketCryptorDispose", &M::dataPacketCryptorDispose},
  };
  return *table;
}

bool DataPacketCryptorMethods::handleMethodCall(const FlutterMethodCall& call,
                                                FlutterResult& result) {
  return dispatchMethodCall(*this, methodTable(), call, result);
}

void DataPacketCryptorMethods::createDataPacketCryptor(const FlutterMethodCall& call,
                                                       FlutterResult result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto algorithm = arguments.int32("algorithm");
  if (!algorithm.ok()) return result(algorithm.error());
  auto key_provider_id = arguments.string("keyProviderId");
  if (!key_provider_id.ok()) return result(key_provider_id.error());
  auto provider = key_providers_.find(*key_provider_id);
  if (!provider) return result(arguments.error("Invalid keyProvider"));
  auto cryptor =
      RTCDataPacketCryptor::initWithAlgorithm(cryptorAlgorithmForValue(*algorithm), provider);
  if (!cryptor) return result(arguments.error("Invalid keyProvider"));
  const std::string id = NSUUID().UUIDString();
  data_cryptors_.add(id, std::move(cryptor));
  result(ValueMap{{"dataCryptorId", id}});
}

void DataPacketCryptorMethods::dataPacketCryptorEncrypt(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto id = arguments.string("dataCryptorId");
  if (!id.ok()) return result(id.error());
  auto data = arguments.bytes("data");
  if (!data.ok()) return result(data.error());
  auto participant_id = arguments.string("participantId");
  if (!participant_id.ok()) return result(participant_id.error());
  auto key_index = arguments.uint32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  auto cryptor = data_cryptors_.find(*id);
  if (!cryptor) return result(arguments.error("Invalid dataCryptor"));
  auto packet = cryptor->encrypt(*participant_id, *key_index, *data);
  if (!packet) return result(arguments.error("Encrypt failed"));
  result(ValueMap{{"data", packet->data()},
                  {"iv", packet->iv()},
                  {"keyIndex", unsignedValue(packet->keyIndex())}});
}

void DataPacketCryptorMethods::dataPacketCryptorDecrypt(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto id = arguments.string("dataCryptorId");
  if (!id.ok()) return result(id.error());
  auto cryptor = data_cryptors_.find(*id);
  if (!cryptor) return result(arguments.error("Invalid dataCryptor"));
  auto data = arguments.bytes("data");
  if (!data.ok()) return result(data.error());
  auto iv = arguments.bytes("iv");
  if (!iv.ok()) return result(iv.error());
  auto key_index = arguments.uint32("keyIndex");
  if (!key_index.ok()) return result(key_index.error());
  auto participant_id = arguments.string("participantId");
  if (!participant_id.ok()) return result(participant_id.error());
  auto plaintext = cryptor->decrypt(*participant_id, RTCEncryptedPacket(*data, *iv, *key_index));
  if (!plaintext) return result(arguments.error("Decrypt failed"));
  result(ValueMap{{"data", std::move(*plaintext)}});
}

void DataPacketCryptorMethods::dataPacketCryptorDispose(const FlutterMethodCall& call,
                                                        FlutterResult result) {
  const CheckedArguments arguments(call.arguments, call.method + "Failed");
  auto id = arguments.string("dataCryptorId");
  if (!id.ok()) return result(id.error());
  if (!data_cryptors_.remove(*id)) return result(arguments.error("Invalid dataCryptor"));
  result(nullptr);
}

}  // namespace webrtc_host
