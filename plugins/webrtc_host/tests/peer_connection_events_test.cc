// Peer-connection notifications: the events on each connection's channel and the remote streams,
// tracks and data channels they record.
#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class PeerConnectionEventsTest : public WebRTCHostTest {
 protected:
  PeerConnectionEventsTest() {
    initialize();
    id = createPeerConnection();
    connection = framework(id);
    factory = plugin->peerConnectionFactory();
  }

  void listen() { ASSERT_TRUE(dart.listen(events(id)).isSuccess()); }
  Value last(const std::string& name) {
    EXPECT_TRUE(waitForEvent(events(id), name)) << name;
    auto found = eventsNamed(events(id), name);
    return found.empty() ? Value() : found.back();
  }
  std::shared_ptr<RTCMediaStream> remoteStream() {
    auto stream = factory->mediaStreamWithStreamId("S1");
    stream->addAudioTrack(factory->audioTrackWithSource(nullptr, "A1"));
    stream->addVideoTrack(factory->videoTrackWithSource(nullptr, "V1"));
    return stream;
  }
  bool trackKnown(const std::string& trackId) {
    return call("addTrack", {{"peerConnectionId", id}, {"trackId", trackId}}).isSuccess();
  }

  std::string id;
  std::shared_ptr<RTCPeerConnection> connection;
  std::shared_ptr<RTCPeerConnectionFactory> factory;
};

TEST_F(PeerConnectionEventsTest, StateChangesAndCandidates) {
  listen();
  webrtc::testing::changeSignalingState(*connection, RTCSignalingStateHaveLocalOffer);
  webrtc::testing::changeIceConnectionState(*connection, 7);
  webrtc::testing::changeIceGatheringState(*connection, RTCIceGatheringStateGathering);
  webrtc::testing::changeConnectionState(*connection, 9);
  webrtc::testing::generateIceCandidate(*connection, RTCIceCandidate("candidate:x", 2, "1"));
  webrtc::testing::requestNegotiation(*connection);
  EXPECT_EQ(last("signalingState"),
            Value(ValueMap{{"event", "signalingState"}, {"state", "have-local-offer"}}));
  EXPECT_EQ(*last("iceConnectionState").find("state"), Value("count"));
  EXPECT_EQ(*last("iceGatheringState").find("state"), Value("gathering"));
  EXPECT_TRUE(last("peerConnectionState").find("state")->isNull());
  EXPECT_EQ(last("onCandidate"),
            Value(ValueMap{{"event", "onCandidate"},
                           {"candidate", ValueMap{{"candidate", "candidate:x"},
                                                  {"sdpMLineIndex", int32_t{2}},
                                                  {"sdpMid", "1"}}}}));
  EXPECT_EQ(last("onRenegotiationNeeded"), Value(ValueMap{{"event", "onRenegotiationNeeded"}}));
  webrtc::testing::changeSelectedCandidatePair(*connection, RTCIceCandidate("l", 0, "0"),
                                               RTCIceCandidate("r", 0, "0"), 25, "better");
  auto pair = last("onSelectedCandidatePairChanged");
  EXPECT_EQ(*pair.find("reason"), Value("better"));
  EXPECT_EQ(*pair.find("lastDataReceivedMs"), Value(int32_t{25}));
  EXPECT_EQ(*pair.find("remote")->find("candidate"), Value("r"));
}

TEST_F(PeerConnectionEventsTest, RemoteStreamsAreRecordedWithOrWithoutListener) {
  auto stream = remoteStream();
  webrtc::testing::addRemoteStream(*connection, stream);
  webrtc::testing::waitForSignalingThread(*connection);
  EXPECT_TRUE(trackKnown("V1"));
  EXPECT_EQ(plugin->streamForId("S1", ""), stream);

  listen();
  webrtc::testing::addRemoteStream(*connection, stream);
  auto added = last("onAddStream");
  const Value expected_audio =
      ValueMap{{"id", "A1"},      {"kind", "audio"}, {"label", "A1"},
               {"enabled", true}, {"remote", true},  {"readyState", "live"}};
  EXPECT_EQ(*added.find("audioTracks"), Value(ValueList{expected_audio}));
  EXPECT_EQ(added.find("videoTracks")->asList()->size(), 1u);

  webrtc::testing::removeRemoteStream(*connection, stream);
  EXPECT_EQ(last("onRemoveStream"),
            Value(ValueMap{{"event", "onRemoveStream"}, {"streamId", "S1"}}));
  // The tracks go, the stream stays findable until the connection closes.
  EXPECT_EQ(plugin->streamForId("S1", id), stream);
  EXPECT_EQ(plugin->trackForId("A1", std::nullopt), nullptr);
  ok("peerConnectionClose", {{"peerConnectionId", id}});
  EXPECT_EQ(plugin->streamForId("S1", ""), nullptr);
}

TEST_F(PeerConnectionEventsTest, TracksOfRemoteStreams) {
  listen();
  auto stream = factory->mediaStreamWithStreamId("S2");
  auto track = factory->audioTrackWithSource(nullptr, "A2");
  webrtc::testing::addTrackToRemoteStream(*connection, stream, track);
  auto added = last("onAddTrack");
  EXPECT_EQ(*added.find("trackId"), Value("A2"));
  EXPECT_EQ(*added.find("track")->find("label"), Value("A2"));
  EXPECT_EQ(plugin->streamForId("S2", ""), stream);
  webrtc::testing::removeTrackFromRemoteStream(*connection, stream, track);
  EXPECT_EQ(*last("onRemoveTrack").find("streamId"), Value("S2"));
  EXPECT_EQ(plugin->trackForId("A2", id), nullptr);
}

TEST_F(PeerConnectionEventsTest, OnTrackRecordsEvenWithoutListener) {
  webrtc::testing::addRemoteReceiver(*connection, "video", "RV", {"RS"});
  webrtc::testing::waitForSignalingThread(*connection);
  EXPECT_NE(plugin->streamForId("RS", id), nullptr);
  EXPECT_NE(plugin->peerConnections().remoteTrack("RV"), nullptr);

  listen();
  webrtc::testing::addRemoteReceiver(*connection, "audio", "RA", {"RS"});
  auto event = last("onTrack");
  EXPECT_EQ(*event.find("track")->find("id"), Value("RA"));
  EXPECT_EQ(*event.find("track")->find("readyState"), Value("live"));
  const auto& streams = *event.find("streams")->asList();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(*streams[0].find("ownerTag"), Value(id));
  EXPECT_EQ(streams[0].find("videoTracks")->asList()->size(), 1u);
  EXPECT_NE(event.find("transceiver"), nullptr);
  EXPECT_EQ(*event.find("receiver")->find("track")->find("id"), Value("RA"));
  EXPECT_EQ(plugin->peerConnections().audioTrackIdForVideoTrackId("RV"), "RA");
}

TEST_F(PeerConnectionEventsTest, PlanBHasNoTransceiverInOnTrack) {
  const std::string plan_b = createPeerConnection({{"sdpSemantics", "plan-b"}});
  ASSERT_TRUE(dart.listen(events(plan_b)).isSuccess());
  webrtc::testing::addRemoteReceiver(*framework(plan_b), "audio", "PA", {});
  ASSERT_TRUE(waitForEvent(events(plan_b), "onTrack"));
  EXPECT_EQ(eventsNamed(events(plan_b), "onTrack")[0].find("transceiver"), nullptr);
}

TEST_F(PeerConnectionEventsTest, RemoteDataChannelsOpenTheirOwnEventChannel) {
  listen();
  webrtc::testing::openRemoteDataChannel(*connection, "ignored", -1);
  auto channel = webrtc::testing::openRemoteDataChannel(*connection, "chat", 3);
  auto opened = last("didOpenDataChannel");
  EXPECT_EQ(eventsNamed(events(id), "didOpenDataChannel").size(), 1u);
  EXPECT_EQ(*opened.find("id"), Value(int32_t{3}));
  EXPECT_EQ(*opened.find("label"), Value("chat"));
  const std::string flutter_id = *opened.find("flutterId")->asString();

  // Events before the listen are kept and come first, in order.
  webrtc::testing::changeBufferedAmount(*channel, 64);
  webrtc::testing::waitForSignalingThread(*connection);
  const std::string channel_events = "WebRTCHost/dataChannelEvent" + id + flutter_id;
  ASSERT_TRUE(dart.listen(channel_events).isSuccess());
  ASSERT_TRUE(dart.waitForEvents(channel_events, 2));
  const auto& received = dart.events(channel_events);
  EXPECT_EQ(
      received[0].value(),
      Value(ValueMap{{"event", "dataChannelStateChanged"}, {"id", int32_t{3}}, {"state", "open"}}));
  EXPECT_EQ(*received[1].value().find("bufferedAmount"), Value(int64_t{64}));
  EXPECT_EQ(*received[1].value().find("changedAmount"), Value(int64_t{0}));

  // After a cancel the events queue again until the next listen.
  ASSERT_TRUE(dart.cancel(channel_events).isSuccess());
  webrtc::testing::changeBufferedAmount(*channel, 8);
  webrtc::testing::changeBufferedAmount(*channel, 0);
  webrtc::testing::waitForSignalingThread(*connection);
  dart.drain();
  EXPECT_EQ(dart.events(channel_events).size(), 2u);
  ASSERT_TRUE(dart.listen(channel_events).isSuccess());
  ASSERT_TRUE(dart.waitForEvents(channel_events, 4));
  EXPECT_EQ(*dart.events(channel_events)[3].value().find("changedAmount"), Value(int64_t{8}));
}

TEST_F(PeerConnectionEventsTest, DetachSilencesEverySink) {
  listen();
  ASSERT_TRUE(dart.listen(kEventChannel).isSuccess());
  plugin->detachFromEngineForRegistrar(dart.registrar("WebRTCHostPlugin"));
  webrtc::testing::requestNegotiation(*connection);
  webrtc::testing::waitForSignalingThread(*connection);
  dart.drain();
  EXPECT_TRUE(eventsNamed(events(id), "onRenegotiationNeeded").empty());
  EXPECT_EQ(plugin->eventSink(), nullptr);
}

}  // namespace
}  // namespace webrtc_host::testing
