// What outlives what: plug-ins replaced by a new registration, notifications racing the main
// thread's reads and closes, and statistics values of every kind.
#include <limits>

#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/statistics_map.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class LifetimeTest : public WebRTCHostTest {
 protected:
  LifetimeTest() { initialize(); }
};

TEST_F(LifetimeTest, AReplacedPluginClosesItsConnections) {
  const std::string id = createPeerConnection();
  auto connection = framework(id);
  std::weak_ptr<WebRTCHostPlugin> old_plugin = plugin;
  plugin.reset();
  WebRTCHostPlugin::registerWithRegistrar(dart.registrar("ReplacingWebRTC"));
  dart.drain();
  EXPECT_TRUE(old_plugin.expired());
  EXPECT_EQ(connection->signalingState(), RTCSignalingStateClosed);
  // The new plug-in does not know the old connection.
  EXPECT_EQ(call("getSignalingState", {{"peerConnectionId", id}}).error.code,
            "getSignalingStateFailed");
}

TEST_F(LifetimeTest, NotificationsRaceReadsAndCloseSafely) {
  const std::string id = createPeerConnection();
  auto connection = framework(id);
  ASSERT_TRUE(dart.listen(events(id)).isSuccess());
  for (int round = 0; round < 50; ++round) {
    const std::string track = "T" + std::to_string(round);
    webrtc::testing::addRemoteReceiver(*connection, round % 2 ? "audio" : "video", track, {"S"});
    webrtc::testing::addRemoteStream(
        *connection, plugin->peerConnectionFactory()->mediaStreamWithStreamId(track));
    plugin->trackForId(track, std::nullopt);
    plugin->streamForId("S", "");
    plugin->peerConnections().audioTrackIdForVideoTrackId("T0");
  }
  ok("peerConnectionClose", {{"peerConnectionId", id}});
  webrtc::testing::waitForSignalingThread(*connection);
  EXPECT_EQ(plugin->streamForId("S", ""), nullptr);
  // Fifty events through the main queue: generous on a loaded machine.
  EXPECT_TRUE(dart.runUntil([&] { return eventsNamed(events(id), "onTrack").size() == 50; },
                            std::chrono::seconds(60)));
}

TEST(StatisticsMapTest, ValuesOfEveryKindAndTimesThatAreNotFinite) {
  RTCStatisticsReport report;
  RTCStatistics entry;
  entry.id = "x";
  entry.type = "codec";
  entry.timestamp_us = std::numeric_limits<double>::infinity();
  entry.values = {{"big", std::numeric_limits<uint64_t>::max()},
                  {"names", std::vector<std::string>{"a", "b"}},
                  {"flag", true},
                  {"rate", 0.5}};
  report.statistics["x"] = entry;
  auto map = statisticsReportToMap(report);
  const auto& stat = map.find("stats")->asList()->at(0);
  EXPECT_EQ(*stat.find("timestamp"), Value(0.0));
  const Value* values = stat.find("values");
  EXPECT_EQ(*values->find("big"), Value(std::numeric_limits<int64_t>::max()));
  EXPECT_EQ(*values->find("names"), Value(ValueList{"a", "b"}));
  EXPECT_EQ(*values->find("flag"), Value(true));
  EXPECT_EQ(*values->find("rate"), Value(0.5));
}

}  // namespace
}  // namespace webrtc_host::testing
