#include "platform/webrtc/rtc_frame_cryptor.h"

#include <algorithm>

#include "platform/webrtc/rtc_frame_cryptor_cipher.h"

namespace {

using Bytes = RTCFrameCryptor::Bytes;

// An encrypted frame is the sealed payload followed by the trailer: the IV, its length and the
// key index, so that a receiver finds everything it needs at the end of the frame.
constexpr size_t kTrailerSize = webrtc_model::kFrameCryptoIvSize + 2;

bool startsWith(const Bytes& frame, const Bytes& prefix) {
  return !prefix.empty() && frame.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), frame.begin());
}

bool endsWith(const Bytes& frame, const Bytes& suffix) {
  return !suffix.empty() && frame.size() >= suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), frame.rbegin());
}

}  // namespace

std::shared_ptr<RTCFrameCryptor> RTCFrameCryptor::initWithFactory(
    const std::shared_ptr<RTCPeerConnectionFactory>& /*factory*/,
    std::shared_ptr<RTCRtpSender> rtpSender, std::string participantId,
    RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider) {
  if (!rtpSender || !keyProvider) return nullptr;
  return std::make_shared<RTCFrameCryptor>(std::move(rtpSender), nullptr, std::move(participantId),
                                           algorithm, std::move(keyProvider));
}

std::shared_ptr<RTCFrameCryptor> RTCFrameCryptor::initWithFactory(
    const std::shared_ptr<RTCPeerConnectionFactory>& /*factory*/,
    std::shared_ptr<RTCRtpReceiver> rtpReceiver, std::string participantId,
    RTCCryptorAlgorithm algorithm, std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider) {
  if (!rtpReceiver || !keyProvider) return nullptr;
  return std::make_shared<RTCFrameCryptor>(
      nullptr, std::move(rtpReceiver), std::move(participantId), algorithm, std::move(keyProvider));
}

RTCFrameCryptor::RTCFrameCryptor(std::shared_ptr<RTCRtpSender> rtpSender,
                                 std::shared_ptr<RTCRtpReceiver> rtpReceiver,
                                 std::string participantId, RTCCryptorAlgorithm algorithm,
                                 std::shared_ptr<RTCFrameCryptorKeyProvider> keyProvider)
    : rtp_sender_(rtpSender),
      rtp_receiver_(rtpReceiver),
      participant_id_(std::move(participantId)),
      algorithm_(algorithm),
      key_provider_(std::move(keyProvider)),
      queue_(dispatch_queue_create("org.webrtc.frame_cryptor", DISPATCH_QUEUE_SERIAL)) {}

bool RTCFrameCryptor::enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

void RTCFrameCryptor::setEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_ = enabled;
}

int RTCFrameCryptor::keyIndex() const {
  std::lock_guard lock(mutex_);
  return key_index_;
}

bool RTCFrameCryptor::setKeyIndex(int keyIndex) {
  if (!key_provider_->validIndex(keyIndex)) return false;
  std::lock_guard lock(mutex_);
  key_index_ = keyIndex;
  return true;
}

std::shared_ptr<RTCFrameCryptorDelegate> RTCFrameCryptor::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void RTCFrameCryptor::setDelegate(std::weak_ptr<RTCFrameCryptorDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::optional<Bytes> RTCFrameCryptor::encryptFrame(const Bytes& frame) {
  int key_index;
  {
    std::lock_guard lock(mutex_);
    if (!enabled_) return frame;
    key_index = key_index_;
  }
  const auto& magic = key_provider_->uncrypted_magic_bytes_;
  if (magic && startsWith(frame, *magic)) return frame;
  auto key = key_provider_->aesKeyFor(participant_id_, key_index);
  if (!key) {
    reportState(RTCFrameCryptorStateMissingKey);
    return std::nullopt;
  }
  Bytes iv = webrtc_model::randomIv();
  auto sealed = webrtc_model::sealAesGcm(*key, iv, frame);
  if (!sealed) {
    reportState(RTCFrameCryptorStateEncryptionFailed);
    return std::nullopt;
  }
  sealed->insert(sealed->end(), iv.begin(), iv.end());
  sealed->push_back(static_cast<uint8_t>(iv.size()));
  sealed->push_back(static_cast<uint8_t>(key_index));
  reportState(RTCFrameCryptorStateOk);
  return sealed;
}

std::optional<Bytes> RTCFrameCryptor::decryptFrame(const Bytes& frame) {
  if (!enabled()) return frame;
  const auto& magic = key_provider_->uncrypted_magic_bytes_;
  if (magic && startsWith(frame, *magic)) return frame;
  Bytes sif_trailer;
  {
    std::lock_guard lock(key_provider_->mutex_);
    sif_trailer = key_provider_->sif_trailer_;
  }
  if (endsWith(frame, sif_trailer)) return std::nullopt;
  if (frame.size() < kTrailerSize + webrtc_model::kFrameCryptoTagSize ||
      frame[frame.size() - 2] != webrtc_model::kFrameCryptoIvSize) {
    reportState(RTCFrameCryptorStateDecryptionFailed);
    return std::nullopt;
  }
  const int key_index = frame.back();
  const auto iv_begin = frame.end() - static_cast<std::ptrdiff_t>(kTrailerSize);
  const Bytes iv(iv_begin,
                 iv_begin + static_cast<std::ptrdiff_t>(webrtc_model::kFrameCryptoIvSize));
  const Bytes sealed(frame.begin(), iv_begin);
  auto key = key_provider_->aesKeyFor(participant_id_, key_index);
  if (!key) {
    reportState(RTCFrameCryptorStateMissingKey);
    if (key_provider_->discard_frame_when_cryptor_not_ready_) return std::nullopt;
    return frame;
  }
  if (auto plain = webrtc_model::openAesGcm(*key, iv, sealed)) {
    reportState(RTCFrameCryptorStateOk);
    return plain;
  }
  return openWithRatchet(sealed, iv, key_index);
}

std::optional<Bytes> RTCFrameCryptor::openWithRatchet(const Bytes& sealed, const Bytes& iv,
                                                      int keyIndex) {
  for (auto& candidate : key_provider_->ratchetCandidates(participant_id_, keyIndex)) {
    if (auto plain = webrtc_model::openAesGcm(candidate.aesKey, iv, sealed)) {
      key_provider_->commitRatchetedKey(participant_id_, keyIndex, std::move(candidate));
      reportState(RTCFrameCryptorStateKeyRatcheted);
      return plain;
    }
  }
  reportState(RTCFrameCryptorStateDecryptionFailed);
  return std::nullopt;
}

void RTCFrameCryptor::reportState(int state) {
  {
    std::lock_guard lock(mutex_);
    if (last_state_ == state) return;
    last_state_ = state;
  }
  auto self = shared_from_this();
  dispatch_async(queue_, [self, state] {
    if (auto delegate = self->delegate()) {
      delegate->frameCryptorDidStateChangeWithParticipantId(*self, self->participant_id_, state);
    }
  });
}
