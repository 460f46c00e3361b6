// End-to-end encryption of the media frames of one RTP sender or receiver, with the keys of a key
// provider. A sender's cryptor encrypts each outgoing frame with the key at its key index; a
// receiver's cryptor decrypts each incoming frame with the key index the frame names, ratcheting
// forward within the provider's window when the key has moved on. State changes reach the
// delegate on the cryptor's own thread. A new cryptor is disabled: frames pass unchanged.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "platform/webrtc/rtc_rtp_receiver.h"
#include "platform/webrtc/rtc_rtp_sender.h"

class RTCPeerConnectionFactory;

enum RTCCryptorAlgorithm : int {
  RTCCryptorAlgorithmAesGcm = 0,
};

enum RTCFrameCryptorState : int {
  RTCFrameCryptorStateNew = 0,
  RTCFrameCryptorStateOk = 1,
  RTCFrameCryptorStateEncryptionFailed = 2,
  RTCFrameCryptorStateDecryptionFailed = 3,
  RTCFrameCryptorStateMissingKey = 4,
  RTCFrameCryptorStateKeyRatcheted = 5,
  RTCFrameCryptorStateInternalError = 6,
};

class RTCFrameCryptor;

class RTCFrameCryptorDelegate {
 public:
  virtual ~RTCFrameCryptorDelegate() = default;
  // `state` is an RTCFrameCryptorState value.
  virtual void frameCryptorDidStateChangeWithParticipantId(RTCFrameCryptor& frameCryptor,
                                                           const std::string& participantId,
                                                           int state) = 0;
};

class RTCFrameCryptor : public std::enable_shared_from_this<RTCFrameCryptor> {
 public:
  using Bytes = std::vector<uint8_t>;

  static std::shared_ptr<RTCFrameCryptor> initWithFactory(
      const std::shared_ptr<RTCPeerConnectionFactory>& factory,
      std::shared_ptr<RTCRtpSender> rtpSender, std::string participantId,
      RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider);
  static std::shared_ptr<RTCFrameCryptor> initWithFactory(
      const std::shared_ptr<RTCPeerConnectionFactory>& factory,
      std::shared_ptr<RTCRtpReceiver> rtpReceiver, std::string participantId,
      RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider);

  // Use initWithFactory; public only for make_shared.
  RTCFrameCryptor(std::shared_ptr<RTCRtpSender> rtpSender,
                  std::shared_ptr<RTCRtpReceiver> rtpReceiver, std::string participantId,
                  RTCCryptorAlgorithm algorithm,
                  std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider);
  RTCFrameCryptor(const RTCFrameCryptor&) = delete;
  RTCFrameCryptor& operator=(const RTCFrameCryptor&) = delete;

  const std::string& participantId() const { return participant_id_; }

  bool enabled() const;
  void setEnabled(bool enabled);
  int keyIndex() const;
  // False (and nothing changes) for an index outside the provider's key ring.
  bool setKeyIndex(int keyIndex);

  std::shared_ptr<RTCFrameCryptorDelegate> delegate() const;
  void setDelegate(std::weak_ptr<RTCFrameCryptorDelegate> delegate);

 private:
  friend class RTCFrameCryptorControl;

  // The frame as it leaves the sender, or nullopt when it is dropped.
  std::optional<Bytes> encryptFrame(const Bytes& frame);
  // The frame as it reaches the decoder, or nullopt when it is dropped.
  std::optional<Bytes> decryptFrame(const Bytes& frame);
  std::optional<Bytes> openWithRatchet(const Bytes& sealed, const Bytes& iv, int keyIndex);
  // Tells the delegate, on the cryptor's thread, when the state differs from the last one.
  void reportState(int state);

  const std::weak_ptr<RTCRtpSender> rtp_sender_;
  const std::weak_ptr<RTCRtpReceiver> rtp_receiver_;
  const std::string participant_id_;
  const RTCCryptorAlgorithm algorithm_;
  const std::shared_ptr<RTCFrameCryptorKeyProvider> key_provider_;
  const dispatch_queue_t queue_;

  mutable std::mutex mutex_;
  bool enabled_ = false;
  int key_index_ = 0;
  int last_state_ = RTCFrameCryptorStateNew;
  std::weak_ptr<RTCFrameCryptorDelegate> delegate_;
};
