// Data channels through the channel: creation, the per-channel event channel and its queue,
// sending, buffered amount and close.
#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class DataChannelTest : public WebRTCHostTest {
 protected:
  DataChannelTest() {
    initialize();
    peer = createPeerConnection();
    EXPECT_TRUE(dart.listen(events(peer)).isSuccess());
  }

  // Creates a channel; answers its flutterId.
  std::string createDataChannel(const std::string& label, ValueMap options = {}) {
    auto reply =
        ok("createDataChannel",
           {{"peerConnectionId", peer}, {"label", label}, {"dataChannelDict", std::move(options)}});
    const Value* id = reply.find("flutterId");
    return id != nullptr && id->asString() != nullptr ? *id->asString() : "";
  }
  std::string channelEvents(const std::string& flutterId) const {
    return "WebRTCHost/dataChannelEvent" + peer + flutterId;
  }
  std::shared_ptr<RTCDataChannel> framework(const std::string& flutterId) {
    return plugin->peerConnections().find(peer)->dataChannel(flutterId)->channel();
  }
  ValueMap ids(const std::string& flutterId) const {
    return {{"peerConnectionId", peer}, {"dataChannelId", flutterId}};
  }
  std::vector<std::string> states(const std::string& flutterId) {
    std::vector<std::string> names;
    for (const auto& event : eventsNamed(channelEvents(flutterId), "dataChannelStateChanged")) {
      names.push_back(*event.find("state")->asString());
    }
    return names;
  }

  std::string peer;
};

TEST_F(DataChannelTest, CreationAnswersTheFrameworkIdAndANewFlutterIdPerChannel) {
  auto reply = ok("createDataChannel",
                  {{"peerConnectionId", peer},
                   {"label", "chat"},
                   {"dataChannelDict",
                    ValueMap{{"id", int32_t{7}}, {"negotiated", true}, {"protocol", "json"}}}});
  EXPECT_EQ(*reply.find("label"), Value("chat"));
  EXPECT_EQ(*reply.find("id"), Value(int32_t{7}));
  const std::string first = *reply.find("flutterId")->asString();
  EXPECT_EQ(framework(first)->protocol(), "json");
  EXPECT_TRUE(framework(first)->isNegotiated());

  const std::string second = createDataChannel("chat");
  const std::string third = createDataChannel("chat");
  EXPECT_NE(second, third);
  EXPECT_NE(second, first);
  EXPECT_TRUE(dart.listen(channelEvents(second)).isSuccess());
  EXPECT_TRUE(dart.listen(channelEvents(third)).isSuccess());
}

TEST_F(DataChannelTest, AChannelThatCannotBeMadeIsAnswered) {
  EXPECT_EQ(call("createDataChannel", {{"peerConnectionId", "missing"}, {"label", "x"}}).error,
            failed("createDataChannelFailed", "Error: peerConnection not found!"));
  // A negotiated channel needs an id.
  EXPECT_EQ(call("createDataChannel", {{"peerConnectionId", peer},
                                       {"label", "x"},
                                       {"dataChannelDict", ValueMap{{"negotiated", true}}}})
                .error,
            failed("createDataChannelFailed", "Error: dataChannel could not be created!"));
}

TEST_F(DataChannelTest, EventsBeforeListenArriveInOrderAndQueueAgainAfterCancel) {
  const std::string id = createDataChannel("chat");
  auto channel = framework(id);
  webrtc::testing::changeBufferedAmount(*channel, 10);
  channel->close();
  webrtc::testing::waitForSignalingThread(*plugin->peerConnections().find(peer)->peerConnection());
  dart.drain();
  EXPECT_TRUE(dart.events(channelEvents(id)).empty());

  ASSERT_TRUE(dart.listen(channelEvents(id)).isSuccess());
  ASSERT_TRUE(dart.waitForEvents(channelEvents(id), 3));
  const auto& events = dart.events(channelEvents(id));
  EXPECT_EQ(events[0].value(), Value(ValueMap{{"event", "dataChannelBufferedAmountChange"},
                                              {"id", int32_t{-1}},
                                              {"bufferedAmount", int64_t{10}},
                                              {"changedAmount", int64_t{0}}}));
  EXPECT_EQ(states(id), (std::vector<std::string>{"closing", "closed"}));

  ASSERT_TRUE(dart.cancel(channelEvents(id)).isSuccess());
  webrtc::testing::changeBufferedAmount(*channel, 4);
  webrtc::testing::waitForSignalingThread(*plugin->peerConnections().find(peer)->peerConnection());
  dart.drain();
  EXPECT_EQ(dart.events(channelEvents(id)).size(), 3u);
  ASSERT_TRUE(dart.listen(channelEvents(id)).isSuccess());
  ASSERT_TRUE(dart.waitForEvents(channelEvents(id), 4));
  EXPECT_EQ(*dart.events(channelEvents(id))[3].value().find("changedAmount"), Value(int64_t{10}));
}

TEST_F(DataChannelTest, BufferedAmountOnlyForAnOpenChannel) {
  const std::string id = createDataChannel("chat");
  EXPECT_EQ(
      call("dataChannelGetBufferedAmount", ids(id)).error,
      failed("dataChannelGetBufferedAmountFailed", "Error: dataChannel not found or not opened!"));
  EXPECT_EQ(
      call("dataChannelGetBufferedAmount", ids("missing")).error,
      failed("dataChannelGetBufferedAmountFailed", "Error: dataChannel not found or not opened!"));

  auto remote = webrtc::testing::openRemoteDataChannel(
      *plugin->peerConnections().find(peer)->peerConnection(), "remote", 4);
  ASSERT_TRUE(waitForEvent(events(peer), "didOpenDataChannel"));
  const std::string remote_id =
      *eventsNamed(events(peer), "didOpenDataChannel")[0].find("flutterId")->asString();
  webrtc::testing::changeBufferedAmount(*remote, 1234);
  EXPECT_EQ(ok("dataChannelGetBufferedAmount", ids(remote_id)),
            Value(ValueMap{{"bufferedAmount", int64_t{1234}}}));
}

TEST_F(DataChannelTest, UnknownChannelsAndClosedOnesAreAnsweredWithNil) {
  const std::string id = createDataChannel("chat");
  ASSERT_TRUE(dart.listen(channelEvents(id)).isSuccess());
  EXPECT_TRUE(ok("dataChannelSend", {{"peerConnectionId", peer},
                                     {"dataChannelId", "missing"},
                                     {"type", "text"},
                                     {"data", "hi"}})
                  .isNull());
  EXPECT_TRUE(ok("dataChannelClose", ids("missing")).isNull());
  // Wrongly typed data is refused rather than sent as something else.
  ValueMap binary_text = ids(id);
  binary_text.set("type", "binary");
  binary_text.set("data", "not bytes");
  EXPECT_EQ(call("dataChannelSend", binary_text).error.code, "dataChannelSendFailed");

  EXPECT_TRUE(ok("dataChannelClose", ids(id)).isNull());
  // Closing lets go of the channel, yet its last states still reach the listener.
  ASSERT_TRUE(dart.runUntil([&] { return states(id).size() == 2; }));
  EXPECT_EQ(states(id), (std::vector<std::string>{"closing", "closed"}));
  EXPECT_EQ(plugin->peerConnections().find(peer)->dataChannel(id), nullptr);
  EXPECT_TRUE(ok("dataChannelClose", ids(id)).isNull());
  EXPECT_TRUE(call("dataChannelGetBufferedAmount", ids(id)).isError());
}

TEST_F(DataChannelTest, AChannelOpenedAsItsConnectionIsDisposedLeavesNoEventChannel) {
  auto connection = plugin->peerConnections().find(peer)->peerConnection();
  webrtc::testing::openRemoteDataChannel(*connection, "late", 4);
  webrtc::testing::waitForSignalingThread(*connection);
  const std::string flutter_id =
      plugin->peerConnections().find(peer)->dataChannels().at(0)->flutterChannelId();
  // The channel's set-up still waits on the main queue when the connection goes.
  ok("peerConnectionDispose", {{"peerConnectionId", peer}});
  dart.drain();
  EXPECT_FALSE(engine->messenger().hasHandler(channelEvents(flutter_id)));
}

}  // namespace
}  // namespace webrtc_host::testing
