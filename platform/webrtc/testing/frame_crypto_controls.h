// Test controls for frame encryption: run frames through a cryptor as the media path would, make
// the framework report a state, and read what cryptors and key providers were made with.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch_semaphore.h"
#include "platform/webrtc/rtc_data_packet_cryptor.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "platform/webrtc/rtc_frame_cryptor.h"

namespace webrtc::testing {

using Bytes = std::vector<uint8_t>;

// A frame leaving the cryptor's sender, or reaching its receiver's decoder; nullopt when the
// cryptor drops it.
std::optional<Bytes> encryptFrame(RTCFrameCryptor& cryptor, const Bytes& frame);
std::optional<Bytes> decryptFrame(RTCFrameCryptor& cryptor, const Bytes& frame);

// The framework reports `state` (any integer, as a faulty framework could) for the participant,
// on the cryptor's thread.
void reportFrameCryptorState(RTCFrameCryptor& cryptor, const std::string& participantId, int state);
// Waits until everything queued on the cryptor's thread so far has run.
void waitForFrameCryptorThread(RTCFrameCryptor& cryptor);

struct FrameCryptorSetup {
  std::shared_ptr<RTCRtpSender> sender;
  std::shared_ptr<RTCRtpReceiver> receiver;
  int algorithm = 0;
  std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider;
  bool hasDelegate = false;
};
FrameCryptorSetup frameCryptorSetup(const RTCFrameCryptor& cryptor);

struct KeyProviderSetup {
  Bytes ratchetSalt;
  int ratchetWindowSize = 0;
  bool sharedKeyMode = false;
  std::optional<Bytes> uncryptedMagicBytes;
  int failureTolerance = 0;
  int keyRingSize = 0;
  bool discardFrameWhenCryptorNotReady = false;
  int keyDerivationAlgorithm = 0;
  Bytes sifTrailer;
};
KeyProviderSetup keyProviderSetup(const RTCFrameCryptorKeyProvider& provider);

// Holds the key derivations queued on the provider after it is made until it is released or
// destroyed, so a test can look at the host while they wait.
class KeyDerivationHold {
 public:
  explicit KeyDerivationHold(const RTCFrameCryptorKeyProvider& provider);
  ~KeyDerivationHold();
  KeyDerivationHold(const KeyDerivationHold&) = delete;
  KeyDerivationHold& operator=(const KeyDerivationHold&) = delete;
  void release();

 private:
  dispatch_semaphore_t gate_;
  bool released_ = false;
};

int dataPacketCryptorAlgorithm(const RTCDataPacketCryptor& cryptor);
std::shared_ptr<RTCFrameCryptorKeyProvider> dataPacketCryptorKeyProvider(
    const RTCDataPacketCryptor& cryptor);

}  // namespace webrtc::testing
