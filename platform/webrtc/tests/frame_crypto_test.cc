// The frame-encryption model: keys derived and ratcheted the documented way, frames sealed with
// AES-GCM and their trailer, and the states a cryptor reports.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/webrtc/rtc_frame_cryptor.h"
#include "platform/webrtc/rtc_frame_cryptor_cipher.h"
#include "platform/webrtc/testing/frame_crypto_controls.h"

namespace {

using Bytes = std::vector<uint8_t>;

class StateRecorder : public RTCFrameCryptorDelegate {
 public:
  void frameCryptorDidStateChangeWithParticipantId(RTCFrameCryptor&, const std::string&,
                                                   int state) override {
    std::lock_guard lock(mutex_);
    states_.push_back(state);
  }
  std::vector<int> states() {
    std::lock_guard lock(mutex_);
    return states_;
  }

 private:
  std::mutex mutex_;
  std::vector<int> states_;
};

std::shared_ptr<RTCFrameCryptorKeyProvider> provider(bool shared, int window = 2, int algorithm = 0,
                                                     std::optional<Bytes> magic = std::nullopt,
                                                     bool discard = false) {
  return RTCFrameCryptorKeyProvider::initWithRatchetSalt(
      Bytes{'s', 'a', 'l', 't'}, window, shared, std::move(magic), -1, 0, discard,
      static_cast<RTCKeyDerivationAlgorithm>(algorithm));
}

std::shared_ptr<RTCFrameCryptor> senderCryptor(std::shared_ptr<RTCFrameCryptorKeyProvider> keys,
                                               const std::string& participant = "alice") {
  auto sender = std::make_shared<RTCRtpSender>("s", "video", nullptr, std::vector<std::string>{},
                                               std::vector<RTCRtpEncodingParameters>{}, "cname");
  auto cryptor = RTCFrameCryptor::initWithFactory(nullptr, sender, participant,
                                                  RTCCryptorAlgorithmAesGcm, std::move(keys));
  cryptor->setEnabled(true);
  return cryptor;
}

std::shared_ptr<RTCFrameCryptor> receiverCryptor(std::shared_ptr<RTCFrameCryptorKeyProvider> keys,
                                                 const std::string& participant = "alice") {
  auto receiver = std::make_shared<RTCRtpReceiver>("r", nullptr);
  auto cryptor = RTCFrameCryptor::initWithFactory(nullptr, receiver, participant,
                                                  RTCCryptorAlgorithmAesGcm, std::move(keys));
  cryptor->setEnabled(true);
  return cryptor;
}

const Bytes kFrame{'a', ' ', 'v', 'i', 'd', 'e', 'o', ' ', 'f', 'r', 'a', 'm', 'e'};
const Bytes kKey{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};

TEST(FrameCryptoTest, SealedFramesCarryIvAndKeyIndexAndOpenOnlyWithTheKey) {
  auto keys = provider(true);
  ASSERT_TRUE(keys->setSharedKey(kKey, 3));
  auto sender = senderCryptor(keys);
  auto receiver = receiverCryptor(keys);
  EXPECT_FALSE(sender->setKeyIndex(16));
  ASSERT_TRUE(sender->setKeyIndex(3));

  auto sealed = webrtc::testing::encryptFrame(*sender, kFrame);
  ASSERT_TRUE(sealed.has_value());
  ASSERT_EQ(sealed->size(), kFrame.size() + 16 + 12 + 2);
  EXPECT_EQ(sealed->back(), 3);
  EXPECT_EQ((*sealed)[sealed->size() - 2], 12);
  EXPECT_EQ(webrtc::testing::decryptFrame(*receiver, *sealed), kFrame);
  // A fresh IV per frame.
  EXPECT_NE(webrtc::testing::encryptFrame(*sender, kFrame), sealed);

  // Another participant's receiver in per-participant mode has no key.
  auto own_keys = provider(false);
  ASSERT_TRUE(own_keys->setKey(kKey, 3, "bob"));
  auto bob = receiverCryptor(own_keys, "alice");
  EXPECT_EQ(webrtc::testing::decryptFrame(*bob, *sealed), *sealed);

  // Disabled cryptors pass frames unchanged.
  sender->setEnabled(false);
  EXPECT_EQ(webrtc::testing::encryptFrame(*sender, kFrame), kFrame);
}

TEST(FrameCryptoTest, DerivationAndRatchetAreFixed) {
  // HMAC-SHA256("material", "salt"), as docs/frame_encryption.md says.
  const Bytes next = webrtc_model::ratchetMaterial(Bytes{'k', 'e', 'y'}, Bytes{'s', 'a', 'l', 't'});
  EXPECT_EQ(next.size(), 32u);
  auto pbkdf2 = provider(true, 2, 0);
  auto hkdf = provider(true, 2, 1);
  ASSERT_TRUE(pbkdf2->setSharedKey(kKey, 0));
  ASSERT_TRUE(hkdf->setSharedKey(kKey, 0));
  auto sealed = webrtc::testing::encryptFrame(*senderCryptor(pbkdf2), kFrame);
  EXPECT_EQ(webrtc::testing::decryptFrame(*receiverCryptor(hkdf), *sealed), std::nullopt);
  EXPECT_NE(webrtc_model::deriveFrameKey(kKey, Bytes{1}, 0),
            webrtc_model::deriveFrameKey(kKey, Bytes{1}, 1));

  // Two providers with the same salt ratchet to the same material.
  EXPECT_EQ(pbkdf2->ratchetSharedKey(0), hkdf->ratchetSharedKey(0));
  EXPECT_EQ(pbkdf2->exportSharedKey(0),
            webrtc_model::ratchetMaterial(kKey, Bytes{'s', 'a', 'l', 't'}));
  EXPECT_TRUE(pbkdf2->ratchetSharedKey(5).empty());
  EXPECT_TRUE(pbkdf2->exportSharedKey(-1).empty());
  EXPECT_FALSE(pbkdf2->setSharedKey(Bytes{}, 1));
  EXPECT_FALSE(pbkdf2->setSharedKey(kKey, 16));
}

TEST(FrameCryptoTest, ReceiversRatchetWithinTheirWindowAndReportEachStateChange) {
  auto sender_keys = provider(true, 2);
  auto receiver_keys = provider(true, 2);
  ASSERT_TRUE(sender_keys->setSharedKey(kKey, 0));
  ASSERT_TRUE(receiver_keys->setSharedKey(kKey, 0));
  auto sender = senderCryptor(sender_keys);
  auto receiver = receiverCryptor(receiver_keys);
  auto recorder = std::make_shared<StateRecorder>();
  receiver->setDelegate(recorder);

  sender_keys->ratchetSharedKey(0);
  sender_keys->ratchetSharedKey(0);
  EXPECT_EQ(
      webrtc::testing::decryptFrame(*receiver, *webrtc::testing::encryptFrame(*sender, kFrame)),
      kFrame);
  EXPECT_EQ(receiver_keys->exportSharedKey(0), sender_keys->exportSharedKey(0));
  // Three steps ahead is outside a window of two.
  for (int step = 0; step < 3; ++step) sender_keys->ratchetSharedKey(0);
  EXPECT_EQ(
      webrtc::testing::decryptFrame(*receiver, *webrtc::testing::encryptFrame(*sender, kFrame)),
      std::nullopt);
  // Garbage and unsealed frames with the magic prefix.
  EXPECT_EQ(webrtc::testing::decryptFrame(*receiver, Bytes{1, 2, 3}), std::nullopt);
  webrtc::testing::waitForFrameCryptorThread(*receiver);
  EXPECT_EQ(recorder->states(), (std::vector<int>{RTCFrameCryptorStateKeyRatcheted,
                                                  RTCFrameCryptorStateDecryptionFailed}));

  auto magic_keys = provider(true, 0, 0, Bytes{'L', 'K'}, true);
  auto plain = receiverCryptor(magic_keys);
  const Bytes marked{'L', 'K', 1, 2};
  EXPECT_EQ(webrtc::testing::decryptFrame(*plain, marked), marked);
  // Without a key, a cryptor told to discard drops frames, and a sender never sends plaintext.
  auto sealed_elsewhere = webrtc::testing::encryptFrame(*sender, kFrame);
  EXPECT_EQ(webrtc::testing::decryptFrame(*plain, *sealed_elsewhere), std::nullopt);
  EXPECT_EQ(webrtc::testing::encryptFrame(*senderCryptor(magic_keys), kFrame), std::nullopt);
  magic_keys->setSifTrailer(Bytes{0xee, 0xff});
  EXPECT_EQ(webrtc::testing::decryptFrame(*plain, Bytes{1, 0xee, 0xff}), std::nullopt);
}

TEST(FrameCryptoTest, TheRatchetWindowIsCappedLikeTheRing) {
  constexpr int kWindowCap = 16;  // as documented for callers
  for (int asked : {kWindowCap + 1, 1 << 20, INT32_MAX}) {
    auto sender_keys = provider(true, asked, 1);
    auto receiver_keys = provider(true, asked, 1);
    ASSERT_TRUE(sender_keys->setSharedKey(kKey, 0));
    ASSERT_TRUE(receiver_keys->setSharedKey(kKey, 0));
    auto sender = senderCryptor(sender_keys);
    auto receiver = receiverCryptor(receiver_keys);
    // At the cap the receiver still catches up; one step beyond, it gives up.
    for (int step = 0; step < kWindowCap; ++step) sender_keys->ratchetSharedKey(0);
    EXPECT_EQ(
        webrtc::testing::decryptFrame(*receiver, *webrtc::testing::encryptFrame(*sender, kFrame)),
        kFrame);
    for (int step = 0; step <= kWindowCap; ++step) sender_keys->ratchetSharedKey(0);
    EXPECT_EQ(
        webrtc::testing::decryptFrame(*receiver, *webrtc::testing::encryptFrame(*sender, kFrame)),
        std::nullopt)
        << asked;
  }
}

}  // namespace
