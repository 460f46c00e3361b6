// Data-channel messages between two peer connections of this process, with everything (creating
// the channel, negotiating, trading candidates, sending and receiving) done through the channel
// as the Dart side does it.
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class DataChannelEndToEndTest : public WebRTCHostTest {
 protected:
  DataChannelEndToEndTest() {
    initialize();
    caller = createPeerConnection();
    callee = createPeerConnection();
    EXPECT_TRUE(dart.listen(events(caller)).isSuccess());
    EXPECT_TRUE(dart.listen(events(callee)).isSuccess());
  }

  void connect() {
    auto offer = ok("createOffer", {{"peerConnectionId", caller}, {"constraints", ValueMap{}}});
    ok("setLocalDescription", {{"peerConnectionId", caller}, {"description", offer}});
    ok("setRemoteDescription", {{"peerConnectionId", callee}, {"description", offer}});
    auto answer = ok("createAnswer", {{"peerConnectionId", callee}, {"constraints", ValueMap{}}});
    ok("setLocalDescription", {{"peerConnectionId", callee}, {"description", answer}});
    ok("setRemoteDescription", {{"peerConnectionId", caller}, {"description", answer}});
    ASSERT_TRUE(waitForEvent(events(caller), "onCandidate"));
    for (const auto& event : eventsNamed(events(caller), "onCandidate")) {
      ok("addCandidate", {{"peerConnectionId", callee}, {"candidate", *event.find("candidate")}});
    }
  }
  void send(const std::string& peer, const std::string& flutterId, const std::string& type,
            Value data) {
    ok("dataChannelSend", {{"peerConnectionId", peer},
                           {"dataChannelId", flutterId},
                           {"type", type},
                           {"data", std::move(data)}});
  }

  std::string caller;
  std::string callee;
};

TEST_F(DataChannelEndToEndTest, MessagesCrossBothWays) {
  auto created = ok("createDataChannel", {{"peerConnectionId", caller},
                                          {"label", "chat"},
                                          {"dataChannelDict", ValueMap{{"ordered", true}}}});
  const std::string caller_channel = *created.find("flutterId")->asString();
  const std::string caller_events = "WebRTCHost/dataChannelEvent" + caller + caller_channel;
  connect();

  ASSERT_TRUE(waitForEvent(events(callee), "didOpenDataChannel"));
  auto opened = eventsNamed(events(callee), "didOpenDataChannel")[0];
  EXPECT_EQ(*opened.find("label"), Value("chat"));
  const std::string callee_channel = *opened.find("flutterId")->asString();
  const std::string callee_events = "WebRTCHost/dataChannelEvent" + callee + callee_channel;
  ASSERT_TRUE(dart.listen(callee_events).isSuccess());

  ASSERT_TRUE(dart.runUntil([&] {
    return call("dataChannelGetBufferedAmount",
                {{"peerConnectionId", caller}, {"dataChannelId", caller_channel}})
        .isSuccess();
  }));
  send(caller, caller_channel, "text", "abc");
  send(caller, caller_channel, "binary", std::vector<uint8_t>{0, 1, 0xff});
  ASSERT_TRUE(waitForEvent(callee_events, "dataChannelReceiveMessage", 2));
  auto received = eventsNamed(callee_events, "dataChannelReceiveMessage");
  EXPECT_EQ(received[0], Value(ValueMap{{"event", "dataChannelReceiveMessage"},
                                        {"id", *opened.find("id")},
                                        {"type", "text"},
                                        {"data", "abc"}}));
  EXPECT_EQ(*received[1].find("type"), Value("binary"));
  EXPECT_EQ(*received[1].find("data"), Value(std::vector<uint8_t>{0, 1, 0xff}));

  // The caller listens only now: its "open" and the buffered-amount changes of its two sends
  // were queued, and arrive first and in order. The last change may be reported after the
  // callee's receipt (the two channels report on their own), so it is waited for.
  ASSERT_TRUE(dart.listen(caller_events).isSuccess());
  send(callee, callee_channel, "text", "\xc3\xa9t\xc3\xa9");
  ASSERT_TRUE(waitForEvent(caller_events, "dataChannelReceiveMessage"));
  ASSERT_TRUE(waitForEvent(caller_events, "dataChannelBufferedAmountChange", 4));
  std::vector<std::string> order;
  for (const auto& event : dart.events(caller_events)) {
    order.push_back(*event.value().find("event")->asString());
  }
  EXPECT_EQ(order.front(), "dataChannelStateChanged");
  EXPECT_EQ(std::count(order.begin(), order.end(), "dataChannelBufferedAmountChange"), 4);
  EXPECT_EQ(std::count(order.begin(), order.end(), "dataChannelReceiveMessage"), 1);
  EXPECT_EQ(*eventsNamed(caller_events, "dataChannelReceiveMessage")[0].find("data"),
            Value("\xc3\xa9t\xc3\xa9"));
  auto buffered = eventsNamed(caller_events, "dataChannelBufferedAmountChange");
  EXPECT_EQ(*buffered[0].find("changedAmount"), Value(int64_t{0}));
  EXPECT_EQ(*buffered.back().find("bufferedAmount"), Value(int64_t{0}));

  // A text message whose bytes are not UTF-8 arrives as null.
  send(caller, caller_channel, "binary", std::vector<uint8_t>{0xc3, 0x28});
  auto peer = plugin->peerConnections().at(caller);
  peer->dataChannel(caller_channel)->channel()->sendData(RTCDataBuffer({0xc3, 0x28}, false));
  ASSERT_TRUE(waitForEvent(callee_events, "dataChannelReceiveMessage", 4));
  auto invalid = eventsNamed(callee_events, "dataChannelReceiveMessage")[3];
  EXPECT_EQ(*invalid.find("type"), Value("text"));
  EXPECT_TRUE(invalid.find("data")->isNull());

  ok("dataChannelClose", {{"peerConnectionId", caller}, {"dataChannelId", caller_channel}});
  ASSERT_TRUE(dart.runUntil([&] {
    auto changes = eventsNamed(callee_events, "dataChannelStateChanged");
    return !changes.empty() && *changes.back().find("state") == Value("closed");
  }));
}

}  // namespace
}  // namespace webrtc_host::testing
