// The frame cryptors, key providers and data packet cryptors the Dart side has made, by id.
#pragma once

#include <string>

#include "platform/webrtc/rtc_data_packet_cryptor.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "plugins/webrtc_host/flutter_frame_cryptor.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

struct CryptorRegistry {
  Registry<std::string, FlutterFrameCryptor> frameCryptors;
  Registry<std::string, RTCFrameCryptorKeyProvider> keyProviders;
  Registry<std::string, RTCDataPacketCryptor> dataCryptors;

  // Disposes every frame cryptor and lets go of everything.
  void releaseAll() {
    for (auto& [id, cryptor] : frameCryptors.takeAll()) cryptor->dispose();
    keyProviders.takeAll();
    dataCryptors.takeAll();
  }
};

}  // namespace webrtc_host
