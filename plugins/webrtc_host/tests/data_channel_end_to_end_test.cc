// Data-channel messages between two peer connections of this process, with everything (creating
// the channel, negotiating, trading candidates, sending and receiving) done through the channel
// as the Dart side does it.
#include "plugins/webrtc_host/event_byte_budget.h"
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

  bool callerChannelOpen(const std::string& flutterId) {
    return call("dataChannelGetBufferedAmount",
                {{"peerConnectionId", caller}, {"dataChannelId", flutterId}})
        .isSuccess();
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

  ASSERT_TRUE(dart.runUntil([&] { return callerChannelOpen(caller_channel); }));
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
  auto peer = plugin->peerConnections().find(caller);
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

TEST_F(DataChannelEndToEndTest, AChannelNobodyHearsHoldsABoundedQueueAndLetsGoOfItAtDispose) {
  foundation::testing::setLogCapture(true);
  auto created = ok("createDataChannel", {{"peerConnectionId", caller}, {"label", "flood"}});
  const std::string caller_channel = *created.find("flutterId")->asString();
  connect();
  ASSERT_TRUE(waitForEvent(events(callee), "didOpenDataChannel"));
  const std::string callee_channel =
      *eventsNamed(events(callee), "didOpenDataChannel")[0].find("flutterId")->asString();
  const std::string callee_events = "WebRTCHost/dataChannelEvent" + callee + callee_channel;
  ASSERT_TRUE(dart.runUntil([&] { return callerChannelOpen(caller_channel); }));
  const auto peer = plugin->peerConnections().find(callee);
  const auto budget = peer->dataChannelEventBudget();
  const std::weak_ptr<FlutterDataChannel> receiving = peer->dataChannel(callee_channel);

  // The remote peer sends more than may wait while the callee's Dart side does not listen:
  // messages leave the last sixteenth of the 64 MiB to state changes, so fourteen of 4 MiB wait.
  constexpr size_t kMessages = 17;
  constexpr size_t kMessageBytes = size_t{4} << 20;
  const auto sender =
      plugin->peerConnections().find(caller)->dataChannel(caller_channel)->channel();
  for (size_t i = 0; i < kMessages; ++i) {
    ASSERT_TRUE(sender->sendData(
        RTCDataBuffer(std::vector<uint8_t>(kMessageBytes, static_cast<uint8_t>(i)), true)));
  }
  // The caller has nothing buffered once the callee has taken every message.
  ASSERT_TRUE(dart.runUntil([&] {
    auto reply = call("dataChannelGetBufferedAmount",
                      {{"peerConnectionId", caller}, {"dataChannelId", caller_channel}});
    return reply.isSuccess() && *reply.value.find("bufferedAmount") == Value(int64_t{0});
  }));
  EXPECT_LE(budget->heldBytes(), kDataChannelEventBytes);
  EXPECT_GT(budget->heldBytes(), kDataChannelEventBytes - 2 * kMessageBytes);

  // Disposing lets go of all of it, with one line that counts what was dropped.
  ok("peerConnectionDispose", {{"peerConnectionId", callee}});
  ok("peerConnectionDispose", {{"peerConnectionId", caller}});
  dart.drain();
  EXPECT_TRUE(receiving.expired());
  EXPECT_EQ(budget->heldBytes(), 0u);
  std::vector<std::string> lines;
  for (const auto& line : foundation::testing::takeLogLines()) {
    if (line.find(callee_events) != std::string::npos) lines.push_back(line);
  }
  foundation::testing::setLogCapture(false);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("dropped events: 3 "), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace webrtc_host::testing
