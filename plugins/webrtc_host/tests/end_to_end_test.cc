// A whole call between two peer connections of this process, driven through the channel as the
// Dart side drives it: negotiate, trade candidates from the events, connect, see remote tracks.
#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class EndToEndTest : public WebRTCHostTest {
 protected:
  EndToEndTest() {
    initialize();
    caller = createPeerConnection();
    callee = createPeerConnection();
    EXPECT_TRUE(dart.listen(events(caller)).isSuccess());
    EXPECT_TRUE(dart.listen(events(callee)).isSuccess());
  }

  void negotiate(const std::string& offerer, const std::string& answerer) {
    auto offer = ok("createOffer", {{"peerConnectionId", offerer}, {"constraints", ValueMap{}}});
    ok("setLocalDescription", {{"peerConnectionId", offerer}, {"description", offer}});
    ok("setRemoteDescription", {{"peerConnectionId", answerer}, {"description", offer}});
    auto answer = ok("createAnswer", {{"peerConnectionId", answerer}, {"constraints", ValueMap{}}});
    ok("setLocalDescription", {{"peerConnectionId", answerer}, {"description", answer}});
    ok("setRemoteDescription", {{"peerConnectionId", offerer}, {"description", answer}});
  }
  // Hands every candidate one side announced to the other, as a signalling server would.
  void tradeCandidates(const std::string& from, const std::string& to) {
    ASSERT_TRUE(waitForEvent(events(from), "onCandidate"));
    for (const auto& event : eventsNamed(events(from), "onCandidate")) {
      ok("addCandidate", {{"peerConnectionId", to}, {"candidate", *event.find("candidate")}});
    }
  }
  std::string state(const std::string& id) {
    return *ok("getConnectionState", {{"peerConnectionId", id}}).find("state")->asString();
  }

  std::string caller;
  std::string callee;
};

TEST_F(EndToEndTest, NegotiatesConnectsAndReportsRemoteTracks) {
  auto [stream_id, track_id] = displayMedia();
  ok("addTrack",
     {{"peerConnectionId", caller}, {"trackId", track_id}, {"streamIds", ValueList{stream_id}}});
  ASSERT_TRUE(waitForEvent(events(caller), "onRenegotiationNeeded"));

  negotiate(caller, callee);
  tradeCandidates(caller, callee);
  tradeCandidates(callee, caller);

  ASSERT_TRUE(dart.runUntil([&] {
    return !eventsNamed(events(caller), "peerConnectionState").empty() &&
           *eventsNamed(events(caller), "peerConnectionState").back().find("state") ==
               Value("connected") &&
           !eventsNamed(events(callee), "peerConnectionState").empty() &&
           *eventsNamed(events(callee), "peerConnectionState").back().find("state") ==
               Value("connected");
  }));
  EXPECT_EQ(state(caller), "connected");
  EXPECT_EQ(state(callee), "connected");
  EXPECT_EQ(*eventsNamed(events(caller), "iceConnectionState").back().find("state"),
            Value("connected"));
  EXPECT_FALSE(eventsNamed(events(callee), "onSelectedCandidatePairChanged").empty());

  ASSERT_TRUE(waitForEvent(events(callee), "onTrack"));
  auto on_track = eventsNamed(events(callee), "onTrack")[0];
  EXPECT_EQ(*on_track.find("track")->find("id"), Value(track_id));
  EXPECT_EQ(*on_track.find("track")->find("kind"), Value("video"));
  EXPECT_EQ(*on_track.find("streams")->asList()->at(0).find("streamId"), Value(stream_id));
  EXPECT_EQ(*on_track.find("transceiver")->find("mid"), Value("0"));
  EXPECT_EQ(*on_track.find("transceiver")->find("direction"), Value("recvonly"));

  auto receivers = ok("getReceivers", {{"peerConnectionId", callee}});
  EXPECT_EQ(*receivers.find("receivers")->asList()->at(0).find("track")->find("id"),
            Value(track_id));
  auto current = ok("rtpTransceiverGetCurrentDirection",
                    {{"peerConnectionId", caller}, {"transceiverId", "0"}});
  EXPECT_EQ(current, Value(ValueMap{{"result", "sendonly"}}));
  // A received track's statistics are its receiver's.
  auto stats = ok("getStats", {{"peerConnectionId", callee}, {"trackId", track_id}});
  const auto& entries = *stats.find("stats")->asList();
  EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const Value& entry) {
    return *entry.find("type") == Value("inbound-rtp");
  }));
  EXPECT_NE(plugin->peerConnections().remoteTrack(track_id), nullptr);

  // Closing one side leaves the other disconnected.
  ok("peerConnectionClose", {{"peerConnectionId", caller}});
  ASSERT_TRUE(dart.runUntil([&] { return state(callee) == "disconnected"; }));
}

TEST_F(EndToEndTest, DataChannelsOpenOnTheOtherSide) {
  auto channel = framework(caller)->dataChannelForLabel("chat", RTCDataChannelConfiguration());
  negotiate(caller, callee);
  tradeCandidates(caller, callee);
  ASSERT_TRUE(waitForEvent(events(callee), "didOpenDataChannel"));
  auto opened = eventsNamed(events(callee), "didOpenDataChannel")[0];
  EXPECT_EQ(*opened.find("label"), Value("chat"));
  EXPECT_EQ(*opened.find("id"), Value(int32_t{1}));
  EXPECT_EQ(channel->readyState(), RTCDataChannelStateOpen);

  const std::string channel_events =
      "WebRTCHost/dataChannelEvent" + callee + *opened.find("flutterId")->asString();
  ASSERT_TRUE(dart.listen(channel_events).isSuccess());
  ASSERT_TRUE(channel->sendData(RTCDataBuffer({'h', 'i'}, false)));
  ASSERT_TRUE(channel->sendData(RTCDataBuffer({0xff, 0xfe}, false)));
  ASSERT_TRUE(channel->sendData(RTCDataBuffer({1, 2, 3}, true)));
  ASSERT_TRUE(waitForEvent(channel_events, "dataChannelReceiveMessage", 3));
  auto messages = eventsNamed(channel_events, "dataChannelReceiveMessage");
  EXPECT_EQ(*messages[0].find("data"), Value("hi"));
  EXPECT_EQ(*messages[0].find("type"), Value("text"));
  EXPECT_TRUE(messages[1].find("data")->isNull());
  EXPECT_EQ(*messages[2].find("data"), Value(std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(*messages[2].find("type"), Value("binary"));

  channel->close();
  ASSERT_TRUE(dart.runUntil([&] {
    auto changes = eventsNamed(channel_events, "dataChannelStateChanged");
    return !changes.empty() && *changes.back().find("state") == Value("closed");
  }));
}

// The index of the first event named `name` on the channel, or the number of events.
size_t firstIndexOf(const std::vector<flutter::testing::ReceivedEvent>& received,
                    const std::string& name) {
  for (size_t index = 0; index < received.size(); ++index) {
    const auto& event = received[index];
    if (event.isValue() && event.value().find("event") != nullptr &&
        *event.value().find("event") == Value(name)) {
      return index;
    }
  }
  return received.size();
}

TEST_F(EndToEndTest, RenegotiationIsAnnouncedOncePerRoundAndStatesComeBeforeTracks) {
  const auto renegotiations = [&] {
    dart.drain();
    return eventsNamed(events(caller), "onRenegotiationNeeded").size();
  };
  for (const char* kind : {"audio", "video", "audio", "video", "video"}) {
    ok("addTransceiver", {{"peerConnectionId", caller}, {"mediaType", kind}});
  }
  for (const char* label : {"chat", "files"}) {
    ok("createDataChannel",
       {{"peerConnectionId", caller}, {"label", label}, {"dataChannelDict", ValueMap{}}});
  }
  ASSERT_TRUE(waitForEvent(events(caller), "onRenegotiationNeeded"));
  EXPECT_EQ(renegotiations(), 1u);

  // A change while an offer is out waits for the connection to be stable again.
  auto offer = ok("createOffer", {{"peerConnectionId", caller}, {"constraints", ValueMap{}}});
  ok("setLocalDescription", {{"peerConnectionId", caller}, {"description", offer}});
  ok("addTransceiver", {{"peerConnectionId", caller}, {"mediaType", "audio"}});
  EXPECT_EQ(renegotiations(), 1u);
  ok("setRemoteDescription", {{"peerConnectionId", callee}, {"description", offer}});
  auto answer = ok("createAnswer", {{"peerConnectionId", callee}, {"constraints", ValueMap{}}});
  ok("setLocalDescription", {{"peerConnectionId", callee}, {"description", answer}});
  ok("setRemoteDescription", {{"peerConnectionId", caller}, {"description", answer}});
  ASSERT_TRUE(waitForEvent(events(caller), "onRenegotiationNeeded", 2));

  // A round that covers every change leaves nothing to announce; the next change does.
  negotiate(caller, callee);
  EXPECT_EQ(renegotiations(), 2u);
  EXPECT_EQ(eventsNamed(events(callee), "onRenegotiationNeeded").size(), 0u);
  ok("restartIce", {{"peerConnectionId", caller}});
  ASSERT_TRUE(waitForEvent(events(caller), "onRenegotiationNeeded", 3));

  // The callee heard of the offer before any of the tracks it brought.
  ASSERT_TRUE(waitForEvent(events(callee), "onTrack", 6));
  const auto& received = dart.events(events(callee));
  const size_t state = firstIndexOf(received, "signalingState");
  ASSERT_LT(state, received.size());
  EXPECT_EQ(*received[state].value().find("state"), Value("have-remote-offer"));
  EXPECT_LT(state, firstIndexOf(received, "onTrack"));
}

TEST_F(EndToEndTest, WorksWithFrameworkLevelNegotiationToo) {
  // Without a media or data section nothing is gathered, so there is nothing to connect: the
  // whole exchange completes and neither side connects.
  EXPECT_FALSE(webrtc::testing::connectPeerConnections(framework(caller), framework(callee)));
  for (const auto& side : {caller, callee}) {
    EXPECT_EQ(framework(side)->signalingState(), RTCSignalingStateStable);
    EXPECT_TRUE(framework(side)->localDescription() && framework(side)->remoteDescription());
    EXPECT_NE(state(side), "connected");
  }
  framework(caller)->addTransceiverOfType(RTCRtpMediaTypeAudio);
  ASSERT_TRUE(webrtc::testing::connectPeerConnections(framework(caller), framework(callee)));
  EXPECT_EQ(state(caller), "connected");
  ASSERT_TRUE(waitForEvent(events(callee), "peerConnectionState", 2));
}

}  // namespace
}  // namespace webrtc_host::testing
