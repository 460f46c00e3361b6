// The plug-in's lookups, local track wrappers and the frame path from a capturer to a track.
#include <atomic>

#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class LookupsTest : public WebRTCHostTest {
 protected:
  LookupsTest() { initialize(); }
  std::shared_ptr<RTCPeerConnectionFactory> factory() { return plugin->peerConnectionFactory(); }
};

// Every method whose first step is finding the connection "peerConnectionId" names.
constexpr const char* kConnectionMethods[] = {"setConfiguration",
                                              "getSignalingState",
                                              "getIceGatheringState",
                                              "getIceConnectionState",
                                              "getConnectionState",
                                              "addTrack",
                                              "removeTrack",
                                              "addTransceiver",
                                              "rtpTransceiverSetDirection",
                                              "rtpTransceiverGetDirection",
                                              "rtpTransceiverGetCurrentDirection",
                                              "rtpTransceiverStop",
                                              "rtpSenderSetParameters",
                                              "rtpSenderReplaceTrack",
                                              "rtpSenderSetTrack",
                                              "rtpSenderSetStreams",
                                              "getSenders",
                                              "getReceivers",
                                              "getTransceivers",
                                              "createOffer",
                                              "createAnswer",
                                              "setLocalDescription",
                                              "setRemoteDescription",
                                              "addCandidate",
                                              "getLocalDescription",
                                              "getRemoteDescription",
                                              "getStats",
                                              "sendDtmf",
                                              "createDataChannel",
                                              "frameCryptorFactoryCreateFrameCryptor",
                                              "setCodecPreferences"};

TEST_F(LookupsTest, EveryConnectionMethodAnswersAnUnknownConnectionAlike) {
  createPeerConnection();
  for (const char* method : kConnectionMethods) {
    const std::string code = std::string(method) == "setCodecPreferences"
                                 ? "transceiverSetCodecPreferencesFailed"
                                 : std::string(method) + "Failed";
    for (const Value& id : {Value("missing"), Value(int32_t{7}), Value()}) {
      auto reply = call(method, {{"peerConnectionId", id},
                                 {"description", ValueMap{{"type", "offer"}, {"sdp", ""}}}});
      EXPECT_EQ(reply.error, failed(code, "Error: peerConnection not found!"))
          << method << " " << id.debugString();
    }
  }
}

TEST_F(LookupsTest, SenderTransceiverAndDescriptionMethodsAnswerWhatTheyCannotFind) {
  const std::string id = createPeerConnection();
  for (const char* method : {"rtpSenderSetParameters", "rtpSenderReplaceTrack", "rtpSenderSetTrack",
                             "rtpSenderSetStreams", "removeTrack"}) {
    auto reply = call(
        method, {{"peerConnectionId", id}, {"rtpSenderId", "missing"}, {"senderId", "missing"}});
    EXPECT_EQ(reply.error, failed(std::string(method) + "Failed", "Error: sender not found!"));
  }
  for (const char* method :
       {"rtpTransceiverSetDirection", "rtpTransceiverGetDirection",
        "rtpTransceiverGetCurrentDirection", "rtpTransceiverStop", "setCodecPreferences"}) {
    const std::string code = std::string(method) == "setCodecPreferences"
                                 ? "transceiverSetCodecPreferencesFailed"
                                 : std::string(method) + "Failed";
    auto reply = call(method, {{"peerConnectionId", id}, {"transceiverId", "missing"}});
    EXPECT_EQ(reply.error, failed(code, "Error: transcevier not found!")) << method;
  }
  for (const auto& [method, code] :
       {std::pair{"setLocalDescription", "SetLocalDescriptionFailed"},
        std::pair{"setRemoteDescription", "SetRemoteDescriptionFailed"}}) {
    auto reply = call(method, {{"peerConnectionId", id},
                               {"description", ValueMap{{"type", "bogus"}, {"sdp", ""}}}});
    EXPECT_EQ(reply.error, failed(code, "Error Invalid session description type"));
  }
  EXPECT_FALSE(framework(id)->localDescription() || framework(id)->remoteDescription());
}

TEST_F(LookupsTest, RemoteStreamsComeBeforeLocalOnesAndLocalTracksBeforeRemoteOnes) {
  const std::string first = createPeerConnection();
  const std::string second = createPeerConnection();
  const std::string shared = *ok("createLocalMediaStream").find("streamId")->asString();
  auto local_stream = plugin->localMedia().stream(shared);
  ASSERT_NE(local_stream, nullptr);
  EXPECT_EQ(plugin->streamForId(shared, ""), local_stream);

  auto remote_stream = factory()->mediaStreamWithStreamId(shared);
  webrtc::testing::addRemoteStream(*framework(second), remote_stream);
  webrtc::testing::waitForSignalingThread(*framework(second));
  EXPECT_EQ(plugin->streamForId(shared, ""), remote_stream);
  EXPECT_EQ(plugin->streamForId(shared, second), remote_stream);
  // A named connection without that stream falls back to the local one.
  EXPECT_EQ(plugin->streamForId(shared, first), local_stream);

  auto receiver = webrtc::testing::addRemoteReceiver(*framework(first), "audio", "R", {});
  webrtc::testing::waitForSignalingThread(*framework(first));
  EXPECT_EQ(plugin->trackForId("R", std::nullopt), receiver->track());
  EXPECT_EQ(plugin->trackForId("R", second), nullptr);
  EXPECT_FALSE(plugin->localMedia().hasAudioTrack());
  auto media = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}}}});
  const std::string local_id = *media.find("audioTracks")->asList()->at(0).find("id")->asString();
  auto same_id = webrtc::testing::addRemoteReceiver(*framework(first), "audio", local_id, {});
  webrtc::testing::waitForSignalingThread(*framework(first));
  EXPECT_EQ(plugin->trackForId(local_id, std::nullopt),
            plugin->localMedia().track(local_id)->track());
  EXPECT_EQ(plugin->peerConnections().remoteTrack(local_id), same_id->track());
  EXPECT_TRUE(plugin->localMedia().hasAudioTrack());
  EXPECT_EQ(plugin->peerConnections().audioTrackIdForVideoTrackId(local_id), std::nullopt);
}

struct Tagger : VideoFrameProcessor {
  explicit Tagger(int64_t step) : step(step) {}
  std::shared_ptr<RTCVideoFrame> onFrame(const std::shared_ptr<RTCVideoFrame>& frame) override {
    return std::make_shared<RTCVideoFrame>(frame->buffer(), frame->rotation(),
                                           frame->timeStampNs() * 10 + step);
  }
  int64_t step;
};

struct LastFrame : RTCVideoRenderer {
  void setSize(CGSize) override {}
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override {
    time_ns = frame->timeStampNs();
  }
  std::atomic<int64_t> time_ns{-1};
};

TEST_F(LookupsTest, CapturedFramesPassTheProcessorsInOrderOnTheirWayToTheTrack) {
  foundation::testing::setEmulatedOperatingSystemVersion({12, 0, 0});
  auto [stream_id, track_id] = displayMedia();
  auto wrapper = std::dynamic_pointer_cast<LocalVideoTrack>(plugin->localMedia().track(track_id));
  ASSERT_NE(wrapper, nullptr);
  ASSERT_NE(wrapper->processing(), nullptr);
  auto renderer = std::make_shared<LastFrame>();
  wrapper->addRenderer(renderer);
  auto one = std::make_shared<Tagger>(1);
  auto two = std::make_shared<Tagger>(2);
  wrapper->addProcessing(one);
  wrapper->addProcessing(two);
  wrapper->addProcessing(one);

  auto capturer = webrtc::testing::runningDesktopCapturers().at(0);
  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  webrtc::testing::deliverDesktopFrame(*capturer, image, 1);
  EXPECT_EQ(renderer->time_ns, 1121);

  // Removing a processor removes each of its entries.
  wrapper->removeProcessing(one);
  webrtc::testing::deliverDesktopFrame(*capturer, image, 1);
  EXPECT_EQ(renderer->time_ns, 12);
  wrapper->videoTrack()->setIsEnabled(false);
  webrtc::testing::deliverDesktopFrame(*capturer, image, 5);
  EXPECT_EQ(renderer->time_ns, 12);
}

}  // namespace
}  // namespace webrtc_host::testing
