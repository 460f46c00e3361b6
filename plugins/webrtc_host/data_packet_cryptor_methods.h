// The data-packet-cryptor methods: cryptors made over a key provider, encrypting and decrypting
// packets, disposed. They reach only the registries they are given.
#pragma once

#include <string>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_data_packet_cryptor.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "plugins/webrtc_host/method_dispatch.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

class DataPacketCryptorMethods {
 public:
  using KeyProviders = Registry<std::string, RTCFrameCryptorKeyProvider>;
  using DataCryptors = Registry<std::string, RTCDataPacketCryptor>;

  DataPacketCryptorMethods(const KeyProviders& keyProviders, DataCryptors& dataCryptors)
      : key_providers_(keyProviders), data_cryptors_(dataCryptors) {}

  // Answers the call if it is one of these methods; false, with `result` untouched, otherwise.
  bool handleMethodCall(const FlutterMethodCall& call, FlutterResult& result);

 private:
  static const MethodTable<DataPacketCryptorMethods>& methodTable();

  void createDataPacketCryptor(const FlutterMethodCall& call, FlutterResult result);
  void dataPacketCryptorEncrypt(const FlutterMethodCall& call, FlutterResult result);
  void dataPacketCryptorDecrypt(const FlutterMethodCall& call, FlutterResult result);
  void dataPacketCryptorDispose(const FlutterMethodCall& call, FlutterResult result);

  const KeyProviders& key_providers_;
  DataCryptors& data_cryptors_;
};

}  // namespace webrtc_host
