// Peer-connection lifecycle, state strings, descriptions, candidates and statistics.
#include <cmath>
#include <regex>

#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/state_strings.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class PeerConnectionTest : public WebRTCHostTest {
 protected:
  PeerConnectionTest() { initialize(); }

  Value offer(const std::string& id) {
    return ok("createOffer", {{"peerConnectionId", id}, {"constraints", ValueMap{}}});
  }
};

TEST_F(PeerConnectionTest, EachConnectionHasAnUpperCaseIdAndItsOwnEventChannel) {
  const std::string first = createPeerConnection();
  const std::string second = createPeerConnection();
  const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  EXPECT_TRUE(std::regex_match(first, uuid)) << first;
  EXPECT_NE(first, second);
  EXPECT_TRUE(dart.listen(events(first)).isSuccess());
  EXPECT_TRUE(dart.listen(events(second)).isSuccess());
}

TEST_F(PeerConnectionTest, ConnectionsNeedTheFactoryAndAcceptableServers) {
  // A second registration replaces the channel handler with a plug-in that has no factory.
  WebRTCHostPlugin::registerWithRegistrar(dart.registrar("SecondWebRTC"));
  EXPECT_EQ(call("createPeerConnection").error.code, "createPeerConnectionFailed");
  initialize();
  // A TURN server without credentials makes the framework refuse the connection.
  auto refused = call(
      "createPeerConnection",
      {{"configuration", ValueMap{{"iceServers", ValueList{ValueMap{{"urls", "turn:relay"}}}}}}});
  EXPECT_EQ(refused.error.code, "createPeerConnectionFailed");
  webrtc::testing::refuseNextPeerConnections();
  EXPECT_EQ(call("createPeerConnection").error.code, "createPeerConnectionFailed");
  EXPECT_FALSE(createPeerConnection().empty());
}

TEST_F(PeerConnectionTest, CloseForgetsTheConnectionAndDisposeTwiceIsHarmless) {
  const std::string id = createPeerConnection();
  EXPECT_EQ(ok("getSignalingState", {{"peerConnectionId", id}}),
            Value(ValueMap{{"state", "stable"}}));
  EXPECT_TRUE(ok("peerConnectionClose", {{"peerConnectionId", id}}).isNull());
  EXPECT_EQ(call("getSignalingState", {{"peerConnectionId", id}}).error,
            failed("getSignalingStateFailed", "Error: peerConnection not found!"));
  EXPECT_TRUE(ok("peerConnectionDispose", {{"peerConnectionId", id}}).isNull());
  EXPECT_TRUE(ok("peerConnectionDispose", {{"peerConnectionId", id}}).isNull());
}

TEST_F(PeerConnectionTest, ClosingOrDetachingUnregistersEveryChannelOfAConnection) {
  auto& messenger = engine->messenger();
  const auto channels = [&](const std::string& id, const std::string& channel) {
    return std::vector<std::string>{events(id),
                                    "WebRTCHost/dataChannelEvent" + id + channel};
  };
  const std::string closed = createPeerConnection();
  const std::string closed_channel = *ok("createDataChannel", {{"peerConnectionId", closed},
                                                               {"label", "a"}})
                                          .find("flutterId")
                                          ->asString();
  for (const auto& name : channels(closed, closed_channel)) {
    EXPECT_TRUE(messenger.hasHandler(name)) << name;
  }
  ok("peerConnectionDispose", {{"peerConnectionId", closed}});
  for (const auto& name : channels(closed, closed_channel)) {
    EXPECT_FALSE(messenger.hasHandler(name)) << name;
  }

  // Detached from the engine, the plug-in lets go of what it holds.
  const std::string open = createPeerConnection();
  const std::string open_channel = *ok("createDataChannel", {{"peerConnectionId", open},
                                                             {"label", "b"}})
                                        .find("flutterId")
                                        ->asString();
  std::weak_ptr<RTCPeerConnection> connection = framework(open);
  plugin->detachFromEngineForRegistrar(dart.registrar("WebRTCHostPlugin"));
  dart.drain();
  for (const auto& name : channels(open, open_channel)) {
    EXPECT_FALSE(messenger.hasHandler(name)) << name;
  }
  EXPECT_TRUE(plugin->peerConnections().empty());
  EXPECT_TRUE(connection.expired());
}

TEST_F(PeerConnectionTest, StatesOutsideTheTablesAreNull) {
  const std::string id = createPeerConnection();
  auto connection = framework(id);
  webrtc::testing::changeIceConnectionState(*connection, 7);
  webrtc::testing::changeConnectionState(*connection, 42);
  webrtc::testing::changeSignalingState(*connection, -1);
  EXPECT_EQ(ok("getIceConnectionState", {{"peerConnectionId", id}}),
            Value(ValueMap{{"state", "count"}}));
  EXPECT_EQ(ok("getConnectionState", {{"peerConnectionId", id}}),
            Value(ValueMap{{"state", nullptr}}));
  EXPECT_EQ(ok("getSignalingState", {{"peerConnectionId", id}}),
            Value(ValueMap{{"state", nullptr}}));
  EXPECT_EQ(ok("getIceGatheringState", {{"peerConnectionId", id}}),
            Value(ValueMap{{"state", "new"}}));
  EXPECT_EQ(stringForICEGatheringState(3), std::nullopt);
  EXPECT_EQ(stringForSignalingState(5), "closed");
}

TEST_F(PeerConnectionTest, StreamsMustBeLocalAndTheConnectionKnown) {
  const std::string id = createPeerConnection();
  auto [stream_id, track_id] = displayMedia();
  EXPECT_EQ(call("addStream", {{"peerConnectionId", id}, {"streamId", "nope"}}).error,
            failed("addStreamFailed", "Error: peerConnection or mediaStream not found!"));
  EXPECT_EQ(ok("addStream", {{"peerConnectionId", id}, {"streamId", stream_id}}), Value(""));
  EXPECT_EQ(framework(id)->senders().at(0)->track()->trackId(), track_id);
  // The framework refuses a stream it already has: so does the call.
  EXPECT_EQ(call("addStream", {{"peerConnectionId", id}, {"streamId", stream_id}}).error,
            failed("addStreamFailed", "Error: peerConnection.addStream failed!"));
  EXPECT_EQ(framework(id)->senders().size(), 1u);
  EXPECT_TRUE(ok("removeStream", {{"peerConnectionId", id}, {"streamId", stream_id}}).isNull());
  EXPECT_EQ(framework(id)->senders().at(0)->track(), nullptr);
  EXPECT_EQ(call("removeStream", {{"peerConnectionId", "x"}, {"streamId", stream_id}}).error.code,
            "removeStreamFailed");
}

TEST_F(PeerConnectionTest, SetConfigurationAnswersTheRefusal) {
  const std::string id = createPeerConnection();
  EXPECT_EQ(call("setConfiguration", {{"peerConnectionId", id},
                                      {"configuration", ValueMap{{"sdpSemantics", "plan-b"}}}})
                .error,
            failed("setConfigurationFailed", "Error: the configuration could not be applied"));
  EXPECT_EQ(framework(id)->configuration().sdpSemantics, RTCSdpSemanticsUnifiedPlan);
  EXPECT_TRUE(ok("setConfiguration", {{"peerConnectionId", id},
                                      {"configuration", ValueMap{{"iceTransportPolicy", "relay"}}}})
                  .isNull());
  EXPECT_EQ(framework(id)->configuration().iceTransportPolicy, RTCIceTransportPolicyRelay);
  EXPECT_EQ(call("setConfiguration", {{"peerConnectionId", "x"}}).error.code,
            "setConfigurationFailed");
}

TEST_F(PeerConnectionTest, OfferAnswerAndDescriptionsRoundTrip) {
  const std::string caller = createPeerConnection();
  const std::string callee = createPeerConnection();
  EXPECT_TRUE(ok("getRemoteDescription", {{"peerConnectionId", caller}}).isNull());
  ok("addTransceiver", {{"peerConnectionId", caller}, {"mediaType", "audio"}});
  Value description = offer(caller);
  EXPECT_EQ(*description.find("type"), Value("offer"));
  EXPECT_NE(description.find("sdp")->asString()->find("m=audio"), std::string::npos);
  EXPECT_TRUE(
      ok("setLocalDescription", {{"peerConnectionId", caller}, {"description", description}})
          .isNull());
  EXPECT_EQ(ok("getLocalDescription", {{"peerConnectionId", caller}}), description);
  EXPECT_EQ(ok("getSignalingState", {{"peerConnectionId", caller}}),
            Value(ValueMap{{"state", "have-local-offer"}}));

  ok("setRemoteDescription", {{"peerConnectionId", callee}, {"description", description}});
  Value answer = ok("createAnswer", {{"peerConnectionId", callee}});
  EXPECT_EQ(*answer.find("type"), Value("answer"));
  ok("setLocalDescription", {{"peerConnectionId", callee}, {"description", answer}});
  ok("setRemoteDescription", {{"peerConnectionId", caller}, {"description", answer}});
  EXPECT_EQ(ok("getSignalingState", {{"peerConnectionId", caller}}),
            Value(ValueMap{{"state", "stable"}}));
}

TEST_F(PeerConnectionTest, FrameworkFailuresKeepTheirCodes) {
  const std::string id = createPeerConnection();
  auto connection = framework(id);
  using webrtc::testing::PeerConnectionOperation;
  webrtc::testing::failNext(*connection, PeerConnectionOperation::createOffer,
                            NSError{"test", 1, "no offer today"});
  EXPECT_EQ(call("createOffer", {{"peerConnectionId", id}}).error,
            failed("CreateOfferFailed", "Error no offer today"));
  // Answering needs a remote offer.
  EXPECT_EQ(call("createAnswer", {{"peerConnectionId", id}}).error.code, "CreateAnswerFailed");
  auto bad_sdp = call(
      "setRemoteDescription",
      {{"peerConnectionId", id}, {"description", ValueMap{{"type", "offer"}, {"sdp", "garbage"}}}});
  EXPECT_EQ(bad_sdp.error.code, "SetRemoteDescriptionFailed");
  EXPECT_EQ(bad_sdp.error.message->rfind("Error ", 0), 0u);
  auto wrong_state = call("setLocalDescription",
                          {{"peerConnectionId", id},
                           {"description", ValueMap{{"type", "answer"}, {"sdp", "v=0\r\n"}}}});
  EXPECT_EQ(wrong_state.error.code, "SetLocalDescriptionFailed");
  EXPECT_EQ(call("setLocalDescription", {{"peerConnectionId", id}, {"description", ValueMap{}}})
                .error.code,
            "SetLocalDescriptionFailed");
  EXPECT_EQ(call("addCandidate", {{"peerConnectionId", id}, {"candidate", ValueMap{}}}).error.code,
            "AddIceCandidateFailed");
  EXPECT_EQ(call("createOffer", {{"peerConnectionId", "x"}}).error.code, "createOfferFailed");
}

TEST_F(PeerConnectionTest, CandidateWithNullIndexGoesToTheFirstSection) {
  const std::string caller = createPeerConnection();
  const std::string callee = createPeerConnection();
  ok("addTransceiver", {{"peerConnectionId", caller}, {"mediaType", "video"}});
  ok("setRemoteDescription", {{"peerConnectionId", callee}, {"description", offer(caller)}});
  const std::string line = "candidate:1 1 udp 2122260223 127.0.0.1 50000 typ host";
  EXPECT_TRUE(
      ok("addCandidate",
         {{"peerConnectionId", callee},
          {"candidate", ValueMap{{"candidate", line}, {"sdpMLineIndex", nullptr}, {"sdpMid", ""}}}})
          .isNull());
  auto added = webrtc::testing::remoteCandidates(*framework(callee));
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].sdpMLineIndex(), 0);
  EXPECT_EQ(added[0].sdp(), line);
}

TEST_F(PeerConnectionTest, StatisticsForTheConnectionOrOneTrack) {
  const std::string id = createPeerConnection();
  auto [stream_id, track_id] = displayMedia();
  ok("addTrack", {{"peerConnectionId", id}, {"trackId", track_id}, {"streamIds", ValueList{}}});

  auto whole = ok("getStats", {{"peerConnectionId", id}, {"trackId", nullptr}});
  const auto& stats = *whole.find("stats")->asList();
  auto has_type = [&](const ValueList& list, const char* type) {
    return std::any_of(list.begin(), list.end(),
                       [&](const Value& entry) { return *entry.find("type") == Value(type); });
  };
  EXPECT_TRUE(has_type(stats, "peer-connection"));
  EXPECT_TRUE(has_type(stats, "outbound-rtp"));
  EXPECT_TRUE(stats[0].find("timestamp")->is<double>());

  webrtc::testing::setNextStatisticsTimestamp(*framework(id), std::nan(""));
  auto track = ok("getStats", {{"peerConnectionId", id}, {"trackId", track_id}});
  const auto& track_stats = *track.find("stats")->asList();
  EXPECT_TRUE(has_type(track_stats, "outbound-rtp"));
  EXPECT_FALSE(has_type(track_stats, "peer-connection"));
  EXPECT_EQ(*track_stats[0].find("timestamp"), Value(0.0));

  EXPECT_EQ(call("getStats", {{"peerConnectionId", id}, {"trackId", "nobody"}}).error,
            failed("GetStatsFailed", "Error "));
}

}  // namespace
}  // namespace webrtc_host::testing
