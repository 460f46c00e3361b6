#include "platform/webrtc/testing/frame_crypto_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

class RTCFrameCryptorControl {
  using Bytes = RTCFrameCryptor::Bytes;

 public:
  static std::optional<Bytes> encrypt(RTCFrameCryptor& cryptor, const Bytes& frame) {
    return cryptor.encryptFrame(frame);
  }
  static std::optional<Bytes> decrypt(RTCFrameCryptor& cryptor, const Bytes& frame) {
    return cryptor.decryptFrame(frame);
  }
  static void report(RTCFrameCryptor& cryptor, const std::string& participantId, int state) {
    {
      std::lock_guard lock(cryptor.mutex_);
      cryptor.last_state_ = state;
    }
    auto self = cryptor.shared_from_this();
    dispatch_async(cryptor.queue_, [self, participantId, state] {
      if (auto delegate = self->delegate()) {
        delegate->frameCryptorDidStateChangeWithParticipantId(*self, participantId, state);
      }
    });
  }
  static void wait(RTCFrameCryptor& cryptor) {
    webrtc::testing::runOnQueueAndWait(cryptor.queue_, nullptr, "the frame cryptor's thread");
  }
  static webrtc::testing::FrameCryptorSetup setup(const RTCFrameCryptor& cryptor) {
    return {cryptor.rtp_sender_.lock(), cryptor.rtp_receiver_.lock(), cryptor.algorithm_,
            cryptor.key_provider_, cryptor.delegate() != nullptr};
  }
};

class RTCFrameCryptoKeyProviderControl {
 public:
  static webrtc::testing::KeyProviderSetup setup(const RTCFrameCryptorKeyProvider& provider) {
    std::lock_guard lock(provider.mutex_);
    return {provider.ratchet_salt_,
            provider.ratchet_window_size_,
            provider.shared_key_mode_,
            provider.uncrypted_magic_bytes_,
            provider.failure_tolerance_,
            provider.key_ring_size_,
            provider.discard_frame_when_cryptor_not_ready_,
            provider.key_derivation_algorithm_,
            provider.sif_trailer_};
  }
};

class RTCDataPacketCryptorControl {
 public:
  static int algorithm(const RTCDataPacketCryptor& cryptor) { return cryptor.algorithm_; }
  static std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider(
      const RTCDataPacketCryptor& cryptor) {
    return cryptor.key_provider_;
  }
};

namespace webrtc::testing {

std::optional<Bytes> encryptFrame(RTCFrameCryptor& cryptor, const Bytes& frame) {
  return RTCFrameCryptorControl::encrypt(cryptor, frame);
}

std::optional<Bytes> decryptFrame(RTCFrameCryptor& cryptor, const Bytes& frame) {
  return RTCFrameCryptorControl::decrypt(cryptor, frame);
}

void reportFrameCryptorState(RTCFrameCryptor& cryptor, const std::string& participantId,
                             int state) {
  RTCFrameCryptorControl::report(cryptor, participantId, state);
}

void waitForFrameCryptorThread(RTCFrameCryptor& cryptor) { RTCFrameCryptorControl::wait(cryptor); }

FrameCryptorSetup frameCryptorSetup(const RTCFrameCryptor& cryptor) {
  return RTCFrameCryptorControl::setup(cryptor);
}

KeyProviderSetup keyProviderSetup(const RTCFrameCryptorKeyProvider& provider) {
  return RTCFrameCryptoKeyProviderControl::setup(provider);
}

KeyDerivationHold::KeyDerivationHold(const RTCFrameCryptorKeyProvider& provider)
    : gate_(dispatch_semaphore_create(0)) {
  dispatch_async(provider.derivationQueue(),
                 [gate = gate_] { waitOrAbort(gate, "a held key derivation queue"); });
}

KeyDerivationHold::~KeyDerivationHold() { release(); }

void KeyDerivationHold::release() {
  if (released_) return;
  released_ = true;
  dispatch_semaphore_signal(gate_);
}

int dataPacketCryptorAlgorithm(const RTCDataPacketCryptor& cryptor) {
  return RTCDataPacketCryptorControl::algorithm(cryptor);
}

std::shared_ptr<RTCFrameCryptorKeyProvider> dataPacketCryptorKeyProvider(
    const RTCDataPacketCryptor& cryptor) {
  return RTCDataPacketCryptorControl::keyProvider(cryptor);
}

}  // namespace webrtc::testing
