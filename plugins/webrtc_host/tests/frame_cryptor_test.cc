// Frame cryptors and key providers through the channel: argument checks in their order, the
// provider's options, keys and ratchets, the cryptor's settings and its state events.
#include <algorithm>
#include <thread>

#include "platform/webrtc/testing/frame_crypto_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class FrameCryptorTest : public WebRTCHostTest {
 protected:
  FrameCryptorTest() {
    initialize();
    peer = createPeerConnection();
    auto transceiver = framework(peer)->addTransceiverOfType(RTCRtpMediaTypeVideo);
    sender_id = transceiver->sender()->senderId();
    receiver_id = transceiver->receiver()->receiverId();
  }

  static ValueMap providerOptions(ValueMap extra = {}) {
    ValueMap options{{"sharedKey", true},
                     {"ratchetSalt", Bytes{'s', 'a', 'l', 't'}},
                     {"ratchetWindowSize", int32_t{4}}};
    for (const auto& [key, value] : extra) options.set(key, value);
    return options;
  }
  std::string createKeyProvider(ValueMap options = providerOptions()) {
    auto reply =
        ok("frameCryptorFactoryCreateKeyProvider", {{"keyProviderOptions", std::move(options)}});
    return *reply.find("keyProviderId")->asString();
  }
  ValueMap cryptorArguments(const std::string& provider) const {
    return {{"peerConnectionId", peer},  {"algorithm", int32_t{0}}, {"participantId", "alice"},
            {"keyProviderId", provider}, {"type", "sender"},        {"rtpSenderId", sender_id}};
  }
  std::string createCryptor(ValueMap arguments) {
    auto reply = ok("frameCryptorFactoryCreateFrameCryptor", std::move(arguments));
    return *reply.find("frameCryptorId")->asString();
  }
  RTCFrameCryptor& cryptor(const std::string& id) {
    return *plugin->cryptors().frameCryptors.find(id)->cryptor();
  }
  static std::string cryptorEvents(const std::string& id) {
    return "WebRTCHost/frameCryptorEvent" + id;
  }
  std::vector<std::string> states(const std::string& id) {
    std::vector<std::string> names;
    for (const auto& event : dart.events(cryptorEvents(id))) {
      names.push_back(*event.value().find("state")->asString());
    }
    return names;
  }

  std::string peer;
  std::string sender_id;
  std::string receiver_id;
};

TEST_F(FrameCryptorTest, KeyProviderOptionsAreCheckedInOrderAndDefaulted) {
  const std::string code = "frameCryptorFactoryCreateKeyProviderFailed";
  EXPECT_EQ(call("frameCryptorFactoryCreateKeyProvider").error,
            failed(code, "Invalid keyProviderOptions"));
  const std::pair<const char*, const char*> required[] = {
      {"sharedKey", "Invalid sharedKey"},
      {"ratchetSalt", "Invalid ratchetSalt"},
      {"ratchetWindowSize", "Invalid ratchetWindowSize"}};
  for (const auto& [missing, message] : required) {
    ValueMap options;
    for (const auto& [key, value] : providerOptions()) {
      if (key != Value(missing)) options.set(key, value);
    }
    EXPECT_EQ(call("frameCryptorFactoryCreateKeyProvider", {{"keyProviderOptions", options}}).error,
              failed(code, message));
  }
  // A salt that is not bytes counts as missing.
  EXPECT_EQ(call("frameCryptorFactoryCreateKeyProvider",
                 {{"keyProviderOptions", providerOptions({{"ratchetSalt", "salt"}})}})
                .error,
            failed(code, "Invalid ratchetSalt"));

  auto defaults =
      webrtc::testing::keyProviderSetup(*plugin->cryptors().keyProviders.find(createKeyProvider()));
  EXPECT_EQ(defaults.failureTolerance, -1);
  EXPECT_EQ(defaults.keyRingSize, RTCFrameCryptorKeyProvider::kDefaultKeyRingSize);
  EXPECT_FALSE(defaults.uncryptedMagicBytes.has_value());
  EXPECT_FALSE(defaults.discardFrameWhenCryptorNotReady);
  EXPECT_EQ(defaults.keyDerivationAlgorithm, 0);
  EXPECT_EQ(defaults.ratchetSalt, (Bytes{'s', 'a', 'l', 't'}));

  auto given = webrtc::testing::keyProviderSetup(*plugin->cryptors().keyProviders.find(
      createKeyProvider(providerOptions({{"failureTolerance", int32_t{3}},
                                         {"keyRingSize", int32_t{2}},
                                         {"uncryptedMagicBytes", Bytes{'L', 'K'}},
                                         {"discardFrameWhenCryptorNotReady", true},
                                         {"keyDerivationAlgorithm", int32_t{1}}}))));
  EXPECT_EQ(given.failureTolerance, 3);
  EXPECT_EQ(given.keyRingSize, 2);
  EXPECT_EQ(given.uncryptedMagicBytes, (Bytes{'L', 'K'}));
  EXPECT_TRUE(given.discardFrameWhenCryptorNotReady);
  EXPECT_EQ(given.keyDerivationAlgorithm, 1);
  auto other = webrtc::testing::keyProviderSetup(*plugin->cryptors().keyProviders.find(
      createKeyProvider(providerOptions({{"keyDerivationAlgorithm", int32_t{7}}}))));
  EXPECT_EQ(other.keyDerivationAlgorithm, 0);
}

TEST_F(FrameCryptorTest, KeysAreSetRatchetedAndExported) {
  const std::string provider = createKeyProvider(providerOptions({{"keyRingSize", int32_t{4}}}));
  const Bytes key{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(call("keyProviderSetSharedKey", {{"keyIndex", int32_t{0}}}).error,
            failed("getKeyProviderForIdFailed", "Invalid keyProviderId"));
  EXPECT_EQ(call("keyProviderSetSharedKey", {{"keyProviderId", "missing"}}).error,
            failed("getKeyProviderForIdFailed", "Invalid keyProvider"));
  EXPECT_EQ(call("keyProviderSetSharedKey", {{"keyProviderId", provider}, {"key", key}}).error,
            failed("keyProviderSetKeyFailed", "Invalid keyIndex"));
  EXPECT_EQ(call("keyProviderSetSharedKey", {{"keyProviderId", provider}, {"keyIndex", 1}}).error,
            failed("keyProviderSetKeyFailed", "Invalid key"));
  EXPECT_EQ(
      call("keyProviderSetSharedKey", {{"keyProviderId", provider}, {"keyIndex", 4}, {"key", key}})
          .error,
      failed("keyProviderSetKeyFailed", "Invalid keyIndex"));

  EXPECT_EQ(ok("keyProviderSetSharedKey",
               {{"keyProviderId", provider}, {"keyIndex", int32_t{1}}, {"key", key}}),
            Value(ValueMap{{"result", true}}));
  EXPECT_EQ(ok("keyProviderExportSharedKey", {{"keyProviderId", provider}, {"keyIndex", 1}}),
            Value(ValueMap{{"result", key}}));
  auto ratcheted =
      ok("keyProviderRatchetSharedKey", {{"keyProviderId", provider}, {"keyIndex", 1}});
  const Value& material = *ratcheted.find("result");
  EXPECT_EQ(material.get<Bytes>().size(), 32u);
  EXPECT_NE(material, Value(key));
  EXPECT_EQ(ok("keyProviderExportSharedKey", {{"keyProviderId", provider}, {"keyIndex", 1}}),
            Value(ValueMap{{"result", material}}));
  // A ratchet or export that finds no key still gets an answer.
  EXPECT_EQ(call("keyProviderRatchetSharedKey", {{"keyProviderId", provider}, {"keyIndex", 2}})
                .error.code,
            "keyProviderRatchetSharedKeyFailed");
  EXPECT_EQ(call("keyProviderExportSharedKey", {{"keyProviderId", provider}}).error,
            failed("keyProviderExportSharedKeyFailed", "Invalid keyIndex"));

  const ValueMap bob{
      {"keyProviderId", provider}, {"keyIndex", int32_t{0}}, {"participantId", "bob"}};
  EXPECT_EQ(
      call("keyProviderSetKey", {{"keyProviderId", provider}, {"keyIndex", 0}, {"key", key}}).error,
      failed("keyProviderSetKeyFailed", "Invalid participantId"));
  ValueMap with_key = bob;
  with_key.set("key", key);
  EXPECT_TRUE(call("keyProviderSetKey", with_key).isSuccess());
  EXPECT_EQ(ok("keyProviderExportKey", bob), Value(ValueMap{{"result", key}}));
  EXPECT_EQ(*ok("keyProviderRatchetKey", bob).find("result"), material);
  EXPECT_EQ(call("keyProviderRatchetKey", {{"keyProviderId", provider}, {"keyIndex", 0}}).error,
            failed("keyProviderRatchetKeyFailed", "Invalid participantId"));
  EXPECT_EQ(call("keyProviderExportKey",
                 {{"keyProviderId", provider}, {"keyIndex", 0}, {"participantId", "carol"}})
                .error.code,
            "keyProviderExportKeyFailed");

  EXPECT_EQ(call("keyProviderSetSifTrailer", {{"keyProviderId", provider}}).error,
            failed("keyProviderSetSifTrailerFailed", "Invalid key"));
  EXPECT_TRUE(ok("keyProviderSetSifTrailer",
                 {{"keyProviderId", provider}, {"sifTrailer", Bytes{0xde, 0xad}}})
                  .isNull());
  EXPECT_EQ(
      webrtc::testing::keyProviderSetup(*plugin->cryptors().keyProviders.find(provider)).sifTrailer,
      (Bytes{0xde, 0xad}));

  EXPECT_EQ(call("keyProviderDispose").error,
            failed("getKeyProviderForIdFailed", "Invalid keyProviderId"));
  EXPECT_EQ(ok("keyProviderDispose", {{"keyProviderId", "never made"}}),
            Value(ValueMap{{"result", "success"}}));
  EXPECT_EQ(ok("keyProviderDispose", {{"keyProviderId", provider}}),
            Value(ValueMap{{"result", "success"}}));
  EXPECT_EQ(call("keyProviderExportKey", bob).error,
            failed("getKeyProviderForIdFailed", "Invalid keyProvider"));
}

TEST_F(FrameCryptorTest, KeyDerivationsLeaveTheMainThreadFreeAndAnswerInCallOrder) {
  const std::string provider = createKeyProvider();
  const Bytes key{1, 2, 3, 4, 5, 6, 7, 8};
  const ValueMap at_zero{{"keyProviderId", provider}, {"keyIndex", int32_t{0}}};
  ValueMap with_key = at_zero;
  with_key.set("key", key);
  ValueMap participant_key = with_key;
  participant_key.set("participantId", "bob");
  ValueMap participant = at_zero;
  participant.set("participantId", "bob");

  webrtc::testing::KeyDerivationHold hold(*plugin->cryptors().keyProviders.find(provider));
  const std::vector<std::pair<std::string, ValueMap>> calls{
      {"keyProviderSetSharedKey", with_key},  {"keyProviderRatchetSharedKey", at_zero},
      {"keyProviderExportSharedKey", at_zero}, {"keyProviderSetKey", participant_key},
      {"keyProviderRatchetKey", participant},  {"keyProviderExportKey", participant}};
  std::vector<flutter::testing::TestDartSide::PendingCall> pending;
  for (const auto& [method, arguments] : calls) {
    pending.push_back(dart.invokeMethodAsync(kMethodChannel, method, Value(arguments)));
  }
  bool main_queue_ran = false;
  dispatch_async(dispatch_get_main_queue(), [&] { main_queue_ran = true; });
  // Runs after every call's handler: the main queue moved on while all derivations wait.
  ASSERT_TRUE(dart.runUntil([&] { return main_queue_ran; }));
  for (const auto& call : pending) EXPECT_FALSE(call.ready());

  hold.release();
  std::vector<size_t> answered;
  // Six key derivations in a row: generous on a loaded machine.
  ASSERT_TRUE(dart.runUntil(
      [&] {
        for (size_t i = 0; i < pending.size(); ++i) {
          if (pending[i].ready() &&
              std::find(answered.begin(), answered.end(), i) == answered.end()) {
            answered.push_back(i);
          }
        }
        return answered.size() == pending.size();
      },
      std::chrono::seconds(60)));
  EXPECT_EQ(answered, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
  for (size_t i : {size_t{0}, size_t{3}}) {
    EXPECT_EQ(pending[i].wait().value, Value(ValueMap{{"result", true}})) << calls[i].first;
  }
  for (size_t ratchet : {size_t{1}, size_t{4}}) {
    const Value ratcheted = pending[ratchet].wait().value;
    EXPECT_NE(ratcheted, Value(ValueMap{{"result", key}})) << calls[ratchet].first;
    EXPECT_EQ(pending[ratchet + 1].wait().value, ratcheted) << calls[ratchet + 1].first;
  }
}

TEST_F(FrameCryptorTest, CreationChecksItsArgumentsInOrder) {
  const std::string provider = createKeyProvider();
  const std::string code = "frameCryptorFactoryCreateFrameCryptorFailed";
  auto without = [&](const char* key) {
    ValueMap arguments;
    for (const auto& [name, value] : cryptorArguments(provider)) {
      if (name != Value(key)) arguments.set(name, value);
    }
    return call("frameCryptorFactoryCreateFrameCryptor", arguments).error;
  };
  auto with = [&](const char* key, Value value) {
    ValueMap arguments = cryptorArguments(provider);
    arguments.set(key, std::move(value));
    return call("frameCryptorFactoryCreateFrameCryptor", arguments).error;
  };
  EXPECT_EQ(without("peerConnectionId"), failed(code, "Error: peerConnection not found!"));
  EXPECT_EQ(without("algorithm"), failed(code, "Invalid algorithm"));
  EXPECT_EQ(without("participantId"), failed(code, "Invalid participantId"));
  EXPECT_EQ(without("keyProviderId"), failed(code, "Invalid keyProviderId"));
  EXPECT_EQ(with("keyProviderId", "missing"), failed(code, "Invalid keyProvider"));
  EXPECT_EQ(with("rtpSenderId", "missing"), failed(code, "Error: sender not found!"));
  EXPECT_EQ(with("type", "receiver"), failed(code, "Error: receiver not found!"));
  EXPECT_EQ(with("type", "both"), failed("InvalidArgument", "Invalid type"));
  EXPECT_TRUE(plugin->cryptors().frameCryptors.empty());

  ValueMap for_receiver = cryptorArguments(provider);
  for_receiver.set("type", "receiver");
  for_receiver.set("rtpReceiverId", receiver_id);
  for_receiver.set("algorithm", int32_t{1});
  const std::string id = createCryptor(for_receiver);
  auto setup = webrtc::testing::frameCryptorSetup(cryptor(id));
  EXPECT_EQ(setup.algorithm, 0);
  EXPECT_EQ(setup.receiver, framework(peer)->transceivers()[0]->receiver());
  EXPECT_EQ(setup.keyProvider, plugin->cryptors().keyProviders.find(provider));
  EXPECT_TRUE(setup.hasDelegate);
}

TEST_F(FrameCryptorTest, SettingsAnswerAndDisposeLetsGo) {
  const std::string id = createCryptor(cryptorArguments(createKeyProvider()));
  const ValueMap ids{{"frameCryptorId", id}};
  for (const char* method :
       {"frameCryptorSetKeyIndex", "frameCryptorGetKeyIndex", "frameCryptorSetEnabled",
        "frameCryptorGetEnabled", "frameCryptorDispose"}) {
    const std::string code = std::string(method) + "Failed";
    EXPECT_EQ(call(method).error, failed(code, "Invalid frameCryptorId"));
    EXPECT_EQ(call(method, {{"frameCryptorId", "missing"}}).error,
              failed(code, "Invalid frameCryptor"));
  }
  EXPECT_EQ(call("frameCryptorSetKeyIndex", ids).error,
            failed("frameCryptorSetKeyIndexFailed", "Invalid keyIndex"));
  EXPECT_EQ(call("frameCryptorSetKeyIndex", {{"frameCryptorId", id}, {"keyIndex", 99}}).error,
            failed("frameCryptorSetKeyIndexFailed", "Invalid keyIndex"));
  EXPECT_EQ(call("frameCryptorSetEnabled", ids).error,
            failed("frameCryptorSetEnabledFailed", "Invalid enabled"));

  EXPECT_EQ(ok("frameCryptorGetEnabled", ids), Value(ValueMap{{"enabled", false}}));
  EXPECT_EQ(ok("frameCryptorSetEnabled", {{"frameCryptorId", id}, {"enabled", true}}),
            Value(ValueMap{{"result", true}}));
  EXPECT_EQ(ok("frameCryptorGetEnabled", ids), Value(ValueMap{{"enabled", true}}));
  EXPECT_EQ(ok("frameCryptorSetKeyIndex", {{"frameCryptorId", id}, {"keyIndex", 3}}),
            Value(ValueMap{{"result", true}}));
  EXPECT_EQ(ok("frameCryptorGetKeyIndex", ids), Value(ValueMap{{"keyIndex", int32_t{3}}}));

  std::weak_ptr<RTCFrameCryptor> weak = plugin->cryptors().frameCryptors.find(id)->cryptor();
  ASSERT_TRUE(dart.listen(cryptorEvents(id)).isSuccess());
  EXPECT_EQ(ok("frameCryptorDispose", ids), Value(ValueMap{{"result", "success"}}));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(call("frameCryptorGetEnabled", ids).error,
            failed("frameCryptorGetEnabledFailed", "Invalid frameCryptor"));

  // Detached from the engine, the plug-in disposes of the cryptors left.
  const std::string left = createCryptor(cryptorArguments(createKeyProvider()));
  plugin->detachFromEngineForRegistrar(dart.registrar("WebRTCHostPlugin"));
  EXPECT_FALSE(engine->messenger().hasHandler(cryptorEvents(left)));
}

TEST_F(FrameCryptorTest, FramesAreEncryptedWithTheProvidersKeysAndReportTheirStates) {
  const std::string provider = createKeyProvider();
  const std::string sender = createCryptor(cryptorArguments(provider));
  ValueMap for_receiver = cryptorArguments(provider);
  for_receiver.set("type", "receiver");
  for_receiver.set("rtpReceiverId", receiver_id);
  const std::string receiver = createCryptor(for_receiver);
  for (const auto& id : {sender, receiver}) {
    ok("frameCryptorSetEnabled", {{"frameCryptorId", id}, {"enabled", true}});
  }
  const Bytes frame{'f', 'r', 'a', 'm', 'e'};
  EXPECT_EQ(webrtc::testing::encryptFrame(cryptor(sender), frame), std::nullopt);

  ok("keyProviderSetSharedKey", {{"keyProviderId", provider},
                                 {"keyIndex", int32_t{0}},
                                 {"key", Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1}}});
  auto sealed = webrtc::testing::encryptFrame(cryptor(sender), frame);
  ASSERT_TRUE(sealed.has_value());
  EXPECT_NE(*sealed, frame);
  EXPECT_EQ(webrtc::testing::decryptFrame(cryptor(receiver), *sealed), frame);
  // The sender ratchets; the receiver catches up within its window.
  ok("keyProviderRatchetSharedKey", {{"keyProviderId", provider}, {"keyIndex", int32_t{0}}});
  auto ratcheted = webrtc::testing::encryptFrame(cryptor(sender), frame);
  ok("keyProviderSetSharedKey", {{"keyProviderId", provider},
                                 {"keyIndex", int32_t{0}},
                                 {"key", Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1}}});
  EXPECT_EQ(webrtc::testing::decryptFrame(cryptor(receiver), *ratcheted), frame);
  Bytes tampered = *sealed;
  tampered[0] ^= 1;
  EXPECT_EQ(webrtc::testing::decryptFrame(cryptor(receiver), tampered), std::nullopt);

  for (const auto& id : {sender, receiver}) {
    webrtc::testing::waitForFrameCryptorThread(cryptor(id));
    ASSERT_TRUE(dart.listen(cryptorEvents(id)).isSuccess());
  }
  ASSERT_TRUE(dart.waitForEvents(cryptorEvents(sender), 2));
  ASSERT_TRUE(dart.waitForEvents(cryptorEvents(receiver), 3));
  EXPECT_EQ(dart.events(cryptorEvents(sender))[0].value(),
            Value(ValueMap{{"event", "frameCryptionStateChanged"},
                           {"participantId", "alice"},
                           {"state", "missingKey"}}));
  EXPECT_EQ(states(sender), (std::vector<std::string>{"missingKey", "ok"}));
  EXPECT_EQ(states(receiver), (std::vector<std::string>{"ok", "keyRatcheted", "decryptionFailed"}));
}

TEST_F(FrameCryptorTest, StateChangesRacingTheListenerArriveOnceAndInOrder) {
  const std::string id = createCryptor(cryptorArguments(createKeyProvider()));
  RTCFrameCryptor& framework_cryptor = cryptor(id);
  constexpr int kEvents = 200;
  std::thread framework_thread([&] {
    for (int i = 0; i < kEvents; ++i) {
      webrtc::testing::reportFrameCryptorState(framework_cryptor, "p" + std::to_string(i), i % 8);
    }
  });
  ASSERT_TRUE(dart.listen(cryptorEvents(id)).isSuccess());
  framework_thread.join();
  ASSERT_TRUE(dart.waitForEvents(cryptorEvents(id), kEvents));
  const auto& received = dart.events(cryptorEvents(id));
  ASSERT_EQ(received.size(), static_cast<size_t>(kEvents));
  for (int i = 0; i < kEvents; ++i) {
    EXPECT_EQ(*received[i].value().find("participantId"), Value("p" + std::to_string(i)));
  }
  EXPECT_EQ(*received[7].value().find("state"), Value("unknown"));
  EXPECT_EQ(*received[6].value().find("state"), Value("internalError"));
  EXPECT_EQ(*received[5].value().find("state"), Value("keyRatcheted"));
}

}  // namespace
}  // namespace webrtc_host::testing
