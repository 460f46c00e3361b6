// The algorithms the Dart side's numbers select for cryptors and key providers.
#pragma once

#include <cstdint>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "platform/webrtc/rtc_frame_cryptor.h"

namespace webrtc_host {

// Every value selects the one algorithm there is.
inline RTCCryptorAlgorithm cryptorAlgorithmForValue(int32_t /*algorithm*/) {
  return RTCCryptorAlgorithmAesGcm;
}

// 1 selects HKDF; anything else, or nothing, PBKDF2.
inline RTCKeyDerivationAlgorithm keyDerivationAlgorithmForValue(const flutter::Value* algorithm) {
  const bool hkdf = algorithm != nullptr && algorithm->asInteger() == 1;
  return hkdf ? RTCKeyDerivationAlgorithmHKDF : RTCKeyDerivationAlgorithmPBKDF2;
}

}  // namespace webrtc_host
