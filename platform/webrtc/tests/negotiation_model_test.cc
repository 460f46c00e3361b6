// Renegotiation in the framework model: ICE restarts, stopped and removed tracks, codec
// preferences, candidate checks, Plan B streams and remote rollbacks.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/rtc_default_video_decoder_factory.h"
#include "platform/webrtc/rtc_default_video_encoder_factory.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"
#include "platform/webrtc/sdp_text.h"
#include "platform/webrtc/testing/bounded_wait.h"
#include "platform/webrtc/testing/peer_connection_controls.h"

namespace {

// Records what a connection tells its delegate.
class Recorder : public RTCPeerConnectionDelegate {
 public:
  void peerConnectionDidChangeSignalingState(RTCPeerConnection&, RTCSignalingState state) override {
    note("signaling " + std::to_string(state));
  }
  void peerConnectionDidAddStream(RTCPeerConnection&,
                                  const std::shared_ptr<RTCMediaStream>& stream) override {
    note("addStream " + stream->streamId());
  }
  void peerConnectionDidRemoveStream(RTCPeerConnection&,
                                     const std::shared_ptr<RTCMediaStream>& stream) override {
    note("removeStream " + stream->streamId());
  }
  void peerConnectionShouldNegotiate(RTCPeerConnection&) override { note("negotiate"); }
  void peerConnectionDidChangeIceConnectionState(RTCPeerConnection&,
                                                 RTCIceConnectionState) override {}
  void peerConnectionDidChangeIceGatheringState(RTCPeerConnection&, RTCIceGatheringState) override {
  }
  void peerConnectionDidGenerateIceCandidate(RTCPeerConnection&,
                                             const RTCIceCandidate& candidate) override {
    note("candidate " + candidate.sdp());
  }
  void peerConnectionDidRemoveIceCandidates(RTCPeerConnection&,
                                            const std::vector<RTCIceCandidate>&) override {}
  void peerConnectionDidOpenDataChannel(RTCPeerConnection&,
                                        const std::shared_ptr<RTCDataChannel>&) override {}
  void peerConnectionDidAddReceiver(RTCPeerConnection&,
                                    const std::shared_ptr<RTCRtpReceiver>& receiver,
                                    const std::vector<std::shared_ptr<RTCMediaStream>>&) override {
    note("addReceiver " + receiver->track()->trackId());
  }
  void peerConnectionDidRemoveReceiver(RTCPeerConnection&,
                                       const std::shared_ptr<RTCRtpReceiver>& receiver) override {
    note("removeReceiver " + receiver->track()->trackId());
  }

  std::vector<std::string> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(notes_, {});
  }
  size_t count(const std::string& prefix) {
    std::lock_guard lock(mutex_);
    return std::count_if(notes_.begin(), notes_.end(),
                         [&](const std::string& note) { return note.rfind(prefix, 0) == 0; });
  }

 private:
  void note(std::string text) {
    std::lock_guard lock(mutex_);
    notes_.push_back(std::move(text));
  }
  std::mutex mutex_;
  std::vector<std::string> notes_;
};

class NegotiationModelTest : public ::testing::Test {
 protected:
  std::shared_ptr<RTCPeerConnection> make(std::shared_ptr<Recorder> recorder,
                                          RTCConfiguration configuration = {}) {
    return factory->peerConnectionWithConfiguration(configuration, {}, recorder);
  }
  std::optional<NSError> run(const std::function<void(RTCPeerConnection::ErrorHandler)>& start) {
    auto done = dispatch_semaphore_create(0);
    auto result = std::make_shared<std::optional<NSError>>();
    start([done, result](std::optional<NSError> error) {
      *result = error;
      dispatch_semaphore_signal(done);
    });
    webrtc::testing::waitOrAbort(done, "a framework completion");
    return *result;
  }
  RTCSessionDescription describe(RTCPeerConnection& connection, bool offer,
                                 RTCMediaConstraints constraints = {}) {
    auto done = dispatch_semaphore_create(0);
    auto result = std::make_shared<std::optional<RTCSessionDescription>>();
    auto handler = [done, result](std::optional<RTCSessionDescription> sdp,
                                  std::optional<NSError>) {
      *result = sdp;
      dispatch_semaphore_signal(done);
    };
    if (offer) {
      connection.offerForConstraints(constraints, handler);
    } else {
      connection.answerForConstraints(constraints, handler);
    }
    webrtc::testing::waitOrAbort(done, "a framework completion");
    return result->value_or(RTCSessionDescription(RTCSdpTypeOffer, ""));
  }
  // One full offer/answer round; answers the offer's model.
  webrtc_model::SdpSession negotiate(RTCPeerConnection& offerer, RTCPeerConnection& answerer) {
    auto offer = describe(offerer, true);
    EXPECT_FALSE(run([&](auto done) { offerer.setLocalDescription(offer, done); }));
    EXPECT_FALSE(run([&](auto done) { answerer.setRemoteDescription(offer, done); }));
    auto answer = describe(answerer, false);
    EXPECT_FALSE(run([&](auto done) { answerer.setLocalDescription(answer, done); }));
    EXPECT_FALSE(run([&](auto done) { offerer.setRemoteDescription(answer, done); }));
    webrtc::testing::waitForSignalingThread(offerer);
    return *webrtc_model::parseSdp(offer.sdp(), nullptr);
  }

  std::shared_ptr<RTCPeerConnectionFactory> factory =
      RTCPeerConnectionFactory::initWithAudioDeviceModuleType(
          1, false, std::make_shared<RTCDefaultVideoEncoderFactory>(),
          std::make_shared<RTCDefaultVideoDecoderFactory>(), nullptr);
  std::shared_ptr<Recorder> left_notes = std::make_shared<Recorder>();
  std::shared_ptr<Recorder> right_notes = std::make_shared<Recorder>();
};

TEST_F(NegotiationModelTest, IceRestartBringsNewCredentialsAndCandidates) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  auto first = negotiate(*left, *right);
  EXPECT_EQ(left_notes->count("candidate"), 1u);
  left_notes->take();
  left->restartIce();
  webrtc::testing::waitForSignalingThread(*left);
  EXPECT_EQ(left_notes->count("negotiate"), 1u);
  auto second = negotiate(*left, *right);
  EXPECT_NE(second.ice_ufrag, first.ice_ufrag);
  EXPECT_EQ(left_notes->count("candidate"), 1u);
  // Without a restart the credentials stay.
  EXPECT_EQ(negotiate(*left, *right).ice_ufrag, second.ice_ufrag);
}

TEST_F(NegotiationModelTest, NegotiationNeededIsAnnouncedOnceUntilStableAgain) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  const auto announced = [&] {
    webrtc::testing::waitForSignalingThread(*left);
    return left_notes->count("negotiate");
  };
  auto audio = left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  left->addTransceiverOfType(RTCRtpMediaTypeVideo);
  auto sender = left->addTrack(factory->audioTrackWithSource(nullptr, "mic"), {"s"});
  left->dataChannelForLabel("one", RTCDataChannelConfiguration());
  left->dataChannelForLabel("two", RTCDataChannelConfiguration());
  left->restartIce();
  EXPECT_EQ(announced(), 1u);
  negotiate(*left, *right);
  EXPECT_EQ(announced(), 1u);
  EXPECT_EQ(right_notes->count("negotiate"), 0u);

  // Every kind of change needs a new round, announced once however many there are.
  const std::vector<std::function<void()>> changes = {
      [&] { left->removeTrack(sender); },
      [&] { audio->setDirection(RTCRtpTransceiverDirectionSendOnly, nullptr); },
      [&] { audio->stopInternal(); },
      [&] { left->addTransceiverOfType(RTCRtpMediaTypeVideo); },
      [&] { left->restartIce(); },
  };
  size_t expected = 1;
  for (size_t index = 0; index < changes.size(); ++index) {
    changes[index]();
    EXPECT_EQ(announced(), ++expected) << index;
    changes[index]();
    EXPECT_EQ(announced(), expected) << index;
    negotiate(*left, *right);
    EXPECT_EQ(announced(), expected) << index;
  }

  EXPECT_EQ(right_notes->count("negotiate"), 0u);
}

TEST_F(NegotiationModelTest, RemoteDescriptionsReportTheStateBeforeTheirTracks) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  const auto state = [](RTCSignalingState value) { return "signaling " + std::to_string(value); };
  left->addTrack(factory->audioTrackWithSource(nullptr, "mic"), {"s"});
  left->addTrack(factory->videoTrackWithSource(nullptr, "cam"), {"s"});
  auto offer = describe(*left, true);
  EXPECT_FALSE(run([&](auto done) { left->setLocalDescription(offer, done); }));
  EXPECT_FALSE(run([&](auto done) { right->setRemoteDescription(offer, done); }));
  webrtc::testing::waitForSignalingThread(*right);
  EXPECT_EQ(right_notes->take(), (std::vector<std::string>{state(RTCSignalingStateHaveRemoteOffer),
                                                           "addReceiver mic", "addReceiver cam"}));

  // An answer that brings a track back: stable first, then the track.
  right->addTrack(factory->audioTrackWithSource(nullptr, "back"), {"r"});
  auto answer = describe(*right, false);
  EXPECT_FALSE(run([&](auto done) { right->setLocalDescription(answer, done); }));
  webrtc::testing::waitForSignalingThread(*left);
  left_notes->take();
  EXPECT_FALSE(run([&](auto done) { left->setRemoteDescription(answer, done); }));
  webrtc::testing::waitForSignalingThread(*left);
  auto notes = left_notes->take();
  std::erase_if(notes, [](const std::string& note) { return note.rfind("candidate", 0) == 0; });
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0], state(RTCSignalingStateStable));
  EXPECT_EQ(notes[1].rfind("addReceiver ", 0), 0u);
}

TEST_F(NegotiationModelTest, StoppedAndRemovedTracksChangeTheRemoteSide) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  auto audio = factory->audioTrackWithSource(nullptr, "mic");
  auto sender = left->addTrack(audio, {"s"});
  auto video = left->addTransceiverOfType(RTCRtpMediaTypeVideo);
  negotiate(*left, *right);
  EXPECT_EQ(right_notes->count("addReceiver mic"), 1u);

  ASSERT_TRUE(left->removeTrack(sender));
  EXPECT_EQ(left->transceivers()[0]->direction(), RTCRtpTransceiverDirectionRecvOnly);
  video->stopInternal();
  auto offer = negotiate(*left, *right);
  EXPECT_EQ(offer.media[0].direction, RTCRtpTransceiverDirectionRecvOnly);
  EXPECT_TRUE(offer.media[1].rejected);
  EXPECT_EQ(right_notes->count("removeReceiver mic"), 1u);
  EXPECT_EQ(left->senders().size(), 1u);
  EXPECT_EQ(video->receiver()->track()->readyState(), RTCMediaStreamTrackStateEnded);
}

TEST_F(NegotiationModelTest, CodecPreferencesShapeTheOfferAndTheAnswerIntersects) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  auto transceiver = left->addTransceiverOfType(RTCRtpMediaTypeVideo);
  auto capabilities = factory->rtpSenderCapabilitiesForKind("video").codecs;
  auto vp9 = std::find_if(capabilities.begin(), capabilities.end(),
                          [](const auto& codec) { return codec.name == "VP9"; });
  ASSERT_NE(vp9, capabilities.end());
  ASSERT_TRUE(transceiver->setCodecPreferences({*vp9}, nullptr));
  auto offer = negotiate(*left, *right);
  ASSERT_EQ(offer.media[0].codecs.size(), 1u);
  EXPECT_EQ(offer.media[0].codecs[0].name, "VP9");
  auto negotiated = left->senders()[0]->parameters().codecs;
  ASSERT_EQ(negotiated.size(), 1u);
  EXPECT_EQ(negotiated[0].name, "VP9");

  RTCRtpCodecCapability unknown = *vp9;
  unknown.name = "H265";
  std::optional<NSError> error;
  EXPECT_FALSE(transceiver->setCodecPreferences({unknown}, &error));
  EXPECT_TRUE(error.has_value());
}

TEST_F(NegotiationModelTest, CandidatesNeedARemoteDescriptionAndAKnownSection) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  const RTCIceCandidate candidate("candidate:1 1 udp 1 127.0.0.1 9 typ host", 0, "0");
  EXPECT_EQ(run([&](auto done) { right->addIceCandidate(candidate, done); })->localizedDescription,
            "The remote description was null");
  left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  negotiate(*left, *right);
  EXPECT_FALSE(run([&](auto done) { right->addIceCandidate(candidate, done); }));
  EXPECT_TRUE(run([&](auto done) {
                right->addIceCandidate(RTCIceCandidate(candidate.sdp(), 0, "7"), done);
              }).has_value());
  EXPECT_TRUE(run([&](auto done) {
                right->addIceCandidate(RTCIceCandidate(candidate.sdp(), 3, ""), done);
              }).has_value());
  EXPECT_TRUE(run([&](auto done) {
                right->addIceCandidate(RTCIceCandidate("not a candidate", 0, "0"), done);
              }).has_value());
}

TEST_F(NegotiationModelTest, RemoteCandidatesAreCappedPerConnection) {
  constexpr size_t kCandidatesKept = 1000;  // as documented for callers
  auto left = make(left_notes);
  auto right = make(right_notes);
  left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  negotiate(*left, *right);
  const auto candidate = [](uint32_t port, const std::string& ufrag) {
    webrtc_model::SdpCandidate parsed;
    parsed.foundation = "1";
    parsed.transport = "udp";
    parsed.priority = 1;
    parsed.address = "127.0.0.1";
    parsed.port = port;
    parsed.type = "host";
    parsed.ufrag = ufrag;
    return RTCIceCandidate(webrtc_model::writeCandidate(parsed), 0, "0");
  };
  // Candidates of another ICE generation never connect, however many there are.
  for (uint32_t port = 1; port < kCandidatesKept; ++port) {
    ASSERT_FALSE(run([&](auto done) { right->addIceCandidate(candidate(port, "old"), done); }));
  }
  EXPECT_EQ(webrtc::testing::remoteCandidates(*right).size(),
            kCandidatesKept - 1);
  const auto last = run([&](auto done) {
    right->addIceCandidate(candidate(kCandidatesKept, "old"), done);
  });
  EXPECT_FALSE(last.has_value());
  const auto refused = run([&](auto done) { right->addIceCandidate(candidate(1, "old"), done); });
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->localizedDescription, "Too many remote ICE candidates");
  EXPECT_EQ(webrtc::testing::remoteCandidates(*right).size(),
            kCandidatesKept);
}

TEST_F(NegotiationModelTest, PlanBAnnouncesRemoteStreams) {
  RTCConfiguration plan_b;
  plan_b.sdpSemantics = RTCSdpSemanticsPlanB;
  auto left = make(left_notes);
  auto right = make(right_notes, plan_b);
  left->addTrack(factory->audioTrackWithSource(nullptr, "a"), {"both"});
  left->addTrack(factory->videoTrackWithSource(nullptr, "v"), {"both"});
  negotiate(*left, *right);
  auto notes = right_notes->take();
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "addStream both"), 1);
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "addReceiver v"), 1);
}

TEST_F(NegotiationModelTest, RemoteRollbackForgetsTheTransceiversTheOfferMade) {
  auto left = make(left_notes);
  auto right = make(right_notes);
  left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  auto offer = describe(*left, true);
  EXPECT_FALSE(run([&](auto done) { right->setRemoteDescription(offer, done); }));
  EXPECT_EQ(right->transceivers().size(), 1u);
  EXPECT_FALSE(run([&](auto done) {
    right->setRemoteDescription(RTCSessionDescription(RTCSdpTypeRollback, ""), done);
  }));
  EXPECT_TRUE(right->transceivers().empty());
  EXPECT_FALSE(right->remoteDescription().has_value());
  EXPECT_EQ(right->signalingState(), RTCSignalingStateStable);
}

TEST_F(NegotiationModelTest, OfferToReceiveAddsReceivingTransceivers) {
  auto left = make(left_notes);
  describe(*left, true,
           RTCMediaConstraints({{kRTCMediaConstraintsOfferToReceiveVideo, "true"}}, {}));
  ASSERT_EQ(left->transceivers().size(), 1u);
  EXPECT_EQ(left->transceivers()[0]->mediaType(), RTCRtpMediaTypeVideo);
  EXPECT_EQ(left->transceivers()[0]->direction(), RTCRtpTransceiverDirectionRecvOnly);
}

TEST_F(NegotiationModelTest, ConfigurationChangesThatNeedANewConnectionAreRefused) {
  auto left = make(left_notes);
  RTCConfiguration changed = left->configuration();
  changed.iceTransportPolicy = RTCIceTransportPolicyRelay;
  EXPECT_TRUE(left->setConfiguration(changed));
  changed.bundlePolicy = RTCBundlePolicyMaxBundle;
  EXPECT_FALSE(left->setConfiguration(changed));
  EXPECT_EQ(left->configuration().bundlePolicy, RTCBundlePolicyBalanced);
  RTCIceServer stun({"http://example.com"});
  RTCConfiguration bad;
  bad.iceServers = {stun};
  EXPECT_EQ(factory->peerConnectionWithConfiguration(bad, {}, {}), nullptr);
}

TEST_F(NegotiationModelTest, DtmfChecksItsTones) {
  auto left = make(left_notes);
  auto sender = left->addTrack(factory->audioTrackWithSource(nullptr, "a"), {});
  auto dtmf = sender->dtmfSender();
  ASSERT_NE(dtmf, nullptr);
  EXPECT_FALSE(dtmf->insertDtmf("12x", 0.1, 0.07));
  EXPECT_FALSE(dtmf->insertDtmf("1", 0.01, 0.07));
  EXPECT_FALSE(dtmf->insertDtmf("1", std::numeric_limits<double>::quiet_NaN(), 0.07));
  EXPECT_TRUE(dtmf->insertDtmf("1#,A", 0.2, 0.05));
  EXPECT_DOUBLE_EQ(dtmf->duration(), 200);
  EXPECT_EQ(webrtc::testing::insertedDtmfTones(*dtmf), std::vector<std::string>{"1#,A"});
  // What is kept of the insertions stays small however many a caller makes.
  for (int i = 0; i < 1000; ++i) dtmf->insertDtmf(std::string(1000, '1'), 0.1, 0.07);
  EXPECT_LE(webrtc::testing::insertedDtmfTones(*dtmf).size(), 16u);
  EXPECT_EQ(left->addTrack(factory->videoTrackWithSource(nullptr, "v"), {})->dtmfSender(), nullptr);
}

}  // namespace
