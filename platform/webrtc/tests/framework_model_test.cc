// The framework model on its own: SDP text, H.264 profile-level ids, negotiation rules and the
// in-memory network between two peer connections.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/rtc_default_video_decoder_factory.h"
#include "platform/webrtc/rtc_default_video_encoder_factory.h"
#include "platform/webrtc/rtc_h264_profile_level_id.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"
#include "platform/webrtc/sdp_text.h"
#include "platform/webrtc/testing/bounded_wait.h"
#include "platform/webrtc/testing/peer_connection_controls.h"

namespace {

using webrtc_model::parseSdp;
using webrtc_model::writeSdp;

TEST(SdpTextTest, WritesWhatItReadsAndRefusesMalformedText) {
  webrtc_model::SdpSession session;
  session.session_id = 42;
  session.version = 3;
  session.ice_ufrag = "ufrg";
  session.ice_pwd = "password";
  webrtc_model::SdpMediaSection video;
  video.kind = "video";
  video.mid = "0";
  video.direction = RTCRtpTransceiverDirectionSendOnly;
  video.stream_ids = {"s1"};
  video.track_id = "t1";
  video.codecs = {{96, "VP8", 90000, std::nullopt, {}},
                  {97, "H264", 90000, std::nullopt, {{"profile-level-id", "42e01f"}}}};
  session.media = {video,
                   {"application", "1", RTCRtpTransceiverDirectionSendRecv, {}, "", {}, false}};
  std::string error;
  auto parsed = parseSdp(writeSdp(session), &error);
  ASSERT_TRUE(parsed.has_value()) << error;
  EXPECT_EQ(parsed->ice_ufrag, "ufrg");
  ASSERT_EQ(parsed->media.size(), 2u);
  EXPECT_EQ(parsed->media[0].direction, RTCRtpTransceiverDirectionSendOnly);
  EXPECT_EQ(parsed->media[0].stream_ids, std::vector<std::string>{"s1"});
  EXPECT_EQ(parsed->media[0].codecs[1].parameters.at("profile-level-id"), "42e01f");
  EXPECT_NE(parsed->dataSection(), nullptr);

  for (const char* bad : {"", "v=1\r\n", "v=0\r\nm=audio x UDP 0\r\n",
                          "v=0\r\na=ice-ufrag:u\r\nm=audio 9 UDP 96\r\na=mid:0\r\n",
                          "v=0\r\nm=audio 9 UDP 0\r\n", "v=0\r\nm=text 9 UDP 0\r\n"}) {
    EXPECT_FALSE(parseSdp(bad, &error)) << bad;
  }
  EXPECT_FALSE(webrtc_model::parseCandidate("candidate:1 1 udp x 127.0.0.1 1 typ host"));
  auto candidate = webrtc_model::parseCandidate(
      "a=candidate:1 1 udp 7 127.0.0.1 5000 typ host generation 0 ufrag abc");
  ASSERT_TRUE(candidate.has_value());
  EXPECT_EQ(candidate->port, 5000u);
  EXPECT_EQ(candidate->ufrag, "abc");
}

TEST(H264ProfileLevelIdTest, ParsesAndSpellsProfilesAndLevels) {
  auto baseline = RTCH264ProfileLevelId::initWithHexString("42e01f");
  ASSERT_TRUE(baseline.has_value());
  EXPECT_EQ(baseline->profile(), RTCH264ProfileConstrainedBaseline);
  EXPECT_EQ(baseline->level(), RTCH264Level3_1);
  EXPECT_EQ(RTCH264ProfileLevelId::initWithHexString("640C34")->profile(),
            RTCH264ProfileConstrainedHigh);
  EXPECT_EQ(RTCH264ProfileLevelId::initWithHexString("4d0015")->level(), RTCH264Level2_1);
  EXPECT_EQ(RTCH264ProfileLevelId::initWithHexString("42f00b")->level(), RTCH264Level1_b);
  for (const char* bad : {"", "42e0", "42e01g", "00001f", "42e0ff"}) {
    EXPECT_FALSE(RTCH264ProfileLevelId::initWithHexString(bad)) << bad;
  }
  EXPECT_EQ(RTCH264ProfileLevelId(RTCH264ProfileHigh, RTCH264Level5_1).hexString(), "640033");
  EXPECT_EQ(RTCH264ProfileLevelId(RTCH264ProfileBaseline, RTCH264Level1_b).hexString(), "42100b");
  EXPECT_EQ(RTCH264ProfileLevelId(RTCH264ProfileHigh, RTCH264Level1_b).hexString(), "");
}

class PeerConnectionModelTest : public ::testing::Test {
 protected:
  std::shared_ptr<RTCPeerConnection> make() {
    return factory->peerConnectionWithConfiguration(RTCConfiguration(), RTCMediaConstraints(), {});
  }
  // Runs an operation and waits for its completion's error.
  std::optional<NSError> wait(const std::function<void(RTCPeerConnection::ErrorHandler)>& run) {
    auto done = dispatch_semaphore_create(0);
    auto result = std::make_shared<std::optional<NSError>>();
    run([done, result](std::optional<NSError> error) {
      *result = error;
      dispatch_semaphore_signal(done);
    });
    webrtc::testing::waitOrAbort(done, "a framework completion");
    return *result;
  }
  RTCSessionDescription offer(RTCPeerConnection& connection) {
    auto done = dispatch_semaphore_create(0);
    std::optional<RTCSessionDescription> result;
    connection.offerForConstraints(
        RTCMediaConstraints(),
        [&](std::optional<RTCSessionDescription> sdp, std::optional<NSError>) {
          result = sdp;
          dispatch_semaphore_signal(done);
        });
    webrtc::testing::waitOrAbort(done, "a framework completion");
    return *result;
  }

  std::shared_ptr<RTCPeerConnectionFactory> factory =
      RTCPeerConnectionFactory::initWithAudioDeviceModuleType(
          1, false, std::make_shared<RTCDefaultVideoEncoderFactory>(),
          std::make_shared<RTCDefaultVideoDecoderFactory>(), nullptr);
};

TEST_F(PeerConnectionModelTest, SignalingRulesAndRollback) {
  auto connection = make();
  connection->addTransceiverOfType(RTCRtpMediaTypeVideo);
  auto description = offer(*connection);
  auto answer_now = RTCSessionDescription(RTCSdpTypeAnswer, description.sdp());
  EXPECT_EQ(wait([&](auto done) {
              connection->setRemoteDescription(answer_now, done);
            })->localizedDescription,
            "Called in wrong state: stable");
  EXPECT_FALSE(wait([&](auto done) { connection->setLocalDescription(description, done); }));
  EXPECT_EQ(connection->transceivers()[0]->mid(), "0");
  EXPECT_FALSE(wait([&](auto done) {
    connection->setLocalDescription(RTCSessionDescription(RTCSdpTypeRollback, ""), done);
  }));
  EXPECT_EQ(connection->signalingState(), RTCSignalingStateStable);
  EXPECT_EQ(connection->transceivers()[0]->mid(), "");
  EXPECT_FALSE(connection->localDescription().has_value());
  connection->close();
  EXPECT_EQ(wait([&](auto done) {
              connection->setLocalDescription(description, done);
            })->localizedDescription,
            "The peer connection is closed");
  EXPECT_EQ(connection->addTransceiverOfType(RTCRtpMediaTypeAudio), nullptr);
}

TEST_F(PeerConnectionModelTest, NegotiatedChannelsPairByIdAndCarryMessages) {
  auto left = make();
  auto right = make();
  RTCDataChannelConfiguration negotiated;
  negotiated.isNegotiated = true;
  negotiated.channelId = 5;
  auto left_channel = left->dataChannelForLabel("pair", negotiated);
  auto right_channel = right->dataChannelForLabel("pair", negotiated);
  ASSERT_TRUE(webrtc::testing::connectPeerConnections(left, right));
  webrtc::testing::waitForSignalingThread(*left);
  EXPECT_EQ(left_channel->readyState(), RTCDataChannelStateOpen);
  EXPECT_EQ(right_channel->readyState(), RTCDataChannelStateOpen);

  struct Receiver : RTCDataChannelDelegate {
    void dataChannelDidChangeState(RTCDataChannel&) override {}
    void dataChannelDidReceiveMessageWithBuffer(RTCDataChannel&,
                                                const RTCDataBuffer& buffer) override {
      bytes += buffer.data().size();
    }
    void dataChannelDidChangeBufferedAmount(RTCDataChannel&, uint64_t) override {}
    std::atomic<size_t> bytes{0};
  };
  auto receiver = std::make_shared<Receiver>();
  right_channel->setDelegate(receiver);
  EXPECT_TRUE(left_channel->sendData(RTCDataBuffer({1, 2, 3}, true)));
  webrtc::testing::waitForSignalingThread(*right);
  EXPECT_EQ(receiver->bytes, 3u);
  left_channel->close();
  webrtc::testing::waitForSignalingThread(*right);
  EXPECT_EQ(right_channel->readyState(), RTCDataChannelStateClosed);
  EXPECT_FALSE(left_channel->sendData(RTCDataBuffer({1}, true)));
}

TEST_F(PeerConnectionModelTest, RelayOnlyConnectionsNeverConnect) {
  RTCConfiguration relay;
  relay.iceTransportPolicy = RTCIceTransportPolicyRelay;
  auto left = factory->peerConnectionWithConfiguration(relay, RTCMediaConstraints(), {});
  auto right = make();
  left->addTransceiverOfType(RTCRtpMediaTypeAudio);
  // The whole exchange completes; only the connection never comes.
  EXPECT_FALSE(webrtc::testing::connectPeerConnections(left, right));
  for (const auto& side : {left, right}) {
    EXPECT_EQ(side->signalingState(), RTCSignalingStateStable);
    EXPECT_TRUE(side->localDescription() && side->remoteDescription());
    EXPECT_NE(side->connectionState(), RTCPeerConnectionStateConnected);
  }
  EXPECT_EQ(left->iceGatheringState(), RTCIceGatheringStateComplete);
}

TEST(RtpSenderModelTest, ReadingParametersKeepsTheCallersTransaction) {
  RTCRtpEncodingParameters encoding;
  encoding.rid = "a";
  auto held = std::make_shared<RTCRtpSender>("s", "video", nullptr, std::vector<std::string>{},
                                             std::vector<RTCRtpEncodingParameters>{encoding},
                                             "cname");
  RTCRtpSender& sender = *held;
  auto mine = sender.parameters();
  // Someone else reads (statistics, another caller) before the change is set.
  auto theirs = sender.parameters();
  EXPECT_EQ(mine.transactionId, theirs.transactionId);
  mine.encodings[0].scaleResolutionDownBy = 2.0;
  EXPECT_TRUE(sender.setParameters(mine));
  // The transaction is spent: a second set from the same read is stale.
  EXPECT_FALSE(sender.setParameters(theirs));
  EXPECT_EQ(sender.parameters().encodings[0].scaleResolutionDownBy, 2.0);
  EXPECT_NE(sender.parameters().transactionId, mine.transactionId);
}

}  // namespace
