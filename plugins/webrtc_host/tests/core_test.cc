// The dispatcher, "initialize" and its options, logging, capture permission and DTMF.
#include "platform/webrtc/rtc_field_trials.h"
#include "platform/webrtc/testing/peer_connection_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class CoreTest : public WebRTCHostTest {};

TEST_F(CoreTest, UnknownNamesAreNotImplemented) {
  EXPECT_TRUE(call("noSuchMethod").isNotImplemented());
}

TEST_F(CoreTest, SharedBranchesAnswerWithTheirOwnCodes) {
  initialize();
  const std::string id = createPeerConnection();
  for (const char* method : {"rtpTransceiverGetDirection", "rtpTransceiverGetCurrentDirection"}) {
    auto reply = call(method, {{"peerConnectionId", id}, {"transceiverId", "missing"}});
    EXPECT_EQ(reply.error, failed(std::string(method) + "Failed", "Error: transcevier not found!"));
  }
  for (const char* method : {"rtpSenderReplaceTrack", "rtpSenderSetTrack"}) {
    auto reply = call(method, {{"peerConnectionId", id}, {"rtpSenderId", "missing"}});
    EXPECT_EQ(reply.error, failed(std::string(method) + "Failed", "Error: sender not found!"));
  }
  auto restart = call("restartIce", {{"peerConnectionId", "missing"}});
  ASSERT_TRUE(restart.isError());
  EXPECT_EQ(restart.error.code, "restartIce: peerConnection is nil");
  EXPECT_FALSE(restart.error.message.has_value());
}

TEST_F(CoreTest, BadArgumentsAreAnsweredNotCrashedOn) {
  EXPECT_TRUE(dart.invokeMethod(kMethodChannel, "getSignalingState", Value(int32_t{3})).isError());
  EXPECT_TRUE(dart.invokeMethod(kMethodChannel, "createOffer", Value(ValueList{})).isError());
  initialize();
  EXPECT_EQ(call("getSignalingState", {{"peerConnectionId", int32_t{5}}}).error,
            failed("getSignalingStateFailed", "Error: peerConnection not found!"));
}

TEST_F(CoreTest, InitializeMakesTheFactoryOnceWithItsOptions) {
  EXPECT_EQ(
      ok("initialize",
         {{"options", ValueMap{{"bypassVoiceProcessing", true},
                               {"networkIgnoreMask", ValueList{"adapterTypeWifi", int32_t{3},
                                                               "adapterTypeVpn", "bogus"}}}}}),
      Value(""));
  auto factory = plugin->peerConnectionFactory();
  ASSERT_NE(factory, nullptr);
  auto options = webrtc::testing::factoryOptions(*factory);
  EXPECT_TRUE(options.ignoreWiFiNetworkAdapter);
  EXPECT_TRUE(options.ignoreVPNNetworkAdapter);
  EXPECT_FALSE(options.ignoreEthernetNetworkAdapter);
  EXPECT_TRUE(factory->audioDeviceModule()->isVoiceProcessingBypassed());
  EXPECT_EQ(webrtc::testing::audioDeviceModuleType(*factory), 1);
  EXPECT_EQ(webrtc::testing::audioProcessingModule(*factory),
            AudioManager::sharedInstance()->audioProcessingModule());
  EXPECT_EQ(webrtc::testing::fieldTrials().at(kRTCFieldTrialUseNWPathMonitor), "Enabled");
  EXPECT_EQ(factory->audioDeviceModule()->inputDevice()->name, "Built-in Microphone");

  initialize({{"networkIgnoreMask", ValueList{"adapterTypeAny"}}});
  EXPECT_EQ(plugin->peerConnectionFactory(), factory);
  EXPECT_FALSE(webrtc::testing::factoryOptions(*factory).ignoreEthernetNetworkAdapter);
}

TEST_F(CoreTest, InitializeWithoutOptionsAndWithAnyAdapter) {
  EXPECT_EQ(ok("initialize"), Value(""));
  auto factory = plugin->peerConnectionFactory();
  EXPECT_FALSE(factory->audioDeviceModule()->isVoiceProcessingBypassed());
  EXPECT_EQ(webrtc::testing::factoryOptions(*factory), RTCPeerConnectionFactoryOptions());
}

TEST_F(CoreTest, AnyAdapterIgnoresAllFive) {
  initialize({{"networkIgnoreMask", ValueList{"adapterTypeAny", "adapterTypeWifi"}}});
  auto options = webrtc::testing::factoryOptions(*plugin->peerConnectionFactory());
  EXPECT_TRUE(options.ignoreEthernetNetworkAdapter && options.ignoreWiFiNetworkAdapter &&
              options.ignoreCellularNetworkAdapter && options.ignoreVPNNetworkAdapter &&
              options.ignoreLoopbackNetworkAdapter);
}

TEST_F(CoreTest, LogLinesBecomeEventsAtTheChosenSeverity) {
  foundation::testing::setLogCapture(true);
  initialize({{"logSeverity", "warning"}});
  webrtc::testing::emitLogLine(RTCLoggingSeverityError, "before anybody listens");
  dart.drain();
  auto lines = foundation::testing::takeLogLines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), "postEvent: sink is nil, skipping event dispatch"),
      lines.end());

  ASSERT_TRUE(dart.listen(kEventChannel).isSuccess());
  webrtc::testing::emitLogLine(RTCLoggingSeverityInfo, "too quiet");
  webrtc::testing::emitLogLine(RTCLoggingSeverityWarning, "loud enough");
  ASSERT_TRUE(waitForEvent(kEventChannel, "onLogData"));
  EXPECT_EQ(eventsNamed(kEventChannel, "onLogData"),
            (std::vector<Value>{ValueMap{{"event", "onLogData"}, {"data", "loud enough"}}}));

  // The branch answers, and an absent severity means none.
  auto reply = call("setLogSeverity", {{"severity", "verbose"}});
  EXPECT_TRUE(reply.isSuccess());
  EXPECT_TRUE(reply.value.isNull());
  webrtc::testing::emitLogLine(RTCLoggingSeverityVerbose, "chatty");
  ASSERT_TRUE(waitForEvent(kEventChannel, "onLogData", 2));
  ok("setLogSeverity");
  webrtc::testing::emitLogLine(RTCLoggingSeverityError, "silenced");
  dart.drain();
  EXPECT_EQ(eventsNamed(kEventChannel, "onLogData").size(), 2u);
  foundation::testing::setLogCapture(false);
}

TEST_F(CoreTest, EachSeverityNameLetsThroughItsLevelAndLouder) {
  initialize();
  ASSERT_TRUE(dart.listen(kEventChannel).isSuccess());
  auto lines = [&] {
    std::vector<std::string> data;
    for (const auto& event : eventsNamed(kEventChannel, "onLogData")) {
      data.push_back(*event.find("data")->asString());
    }
    return data;
  };
  const std::pair<Value, std::string> cases[] = {{Value("verbose"), "VIWE"},
                                                 {Value("info"), "IWE"},
                                                 {Value("warning"), "WE"},
                                                 {Value("error"), "E"},
                                                 {Value("Error"), ""},
                                                 {Value("none"), ""},
                                                 {Value(), ""},
                                                 {Value(int32_t{3}), ""}};
  size_t seen = 0;
  std::ptrdiff_t rounds = 0;
  for (const auto& [name, expected] : cases) {
    ok("setLogSeverity", {{"severity", name}});
    for (const auto& [severity, letter] :
         {std::pair{RTCLoggingSeverityVerbose, "V"}, std::pair{RTCLoggingSeverityInfo, "I"},
          std::pair{RTCLoggingSeverityWarning, "W"}, std::pair{RTCLoggingSeverityError, "E"}}) {
      webrtc::testing::emitLogLine(severity, letter);
    }
    // A line that always passes marks the end of the round: what came before it is all there is.
    ok("setLogSeverity", {{"severity", "error"}});
    webrtc::testing::emitLogLine(RTCLoggingSeverityError, "end");
    ++rounds;
    ASSERT_TRUE(dart.runUntil([&] {
      const auto received = lines();
      return std::count(received.begin(), received.end(), "end") == rounds;
    }));
    const auto received = lines();
    std::string passed;
    for (size_t i = seen; i + 1 < received.size(); ++i) passed += received[i];
    EXPECT_EQ(passed, expected) << name.debugString();
    seen = received.size();
  }
}

TEST_F(CoreTest, CapturePermissionAsksOnlyWithoutAccess) {
  coregraphics::testing::setScreenCaptureRequestAnswer(false);
  EXPECT_EQ(ok("requestCapturePermission"), Value(false));
  coregraphics::testing::setScreenCaptureRequestAnswer(true);
  EXPECT_EQ(ok("requestCapturePermission"), Value(true));
  EXPECT_EQ(ok("requestCapturePermission"), Value(true));
  EXPECT_EQ(coregraphics::testing::screenCaptureRequestCount(), 2);
}

TEST_F(CoreTest, SendDtmfPlaysOnTheLastAudioSenderAndReportsRefusals) {
  initialize();
  const std::string id = createPeerConnection();
  EXPECT_EQ(call("sendDtmf", {{"peerConnectionId", "missing"}}).error,
            failed("sendDtmfFailed", "Error: peerConnection not found!"));
  // No audio sender: nothing plays, the answer is the same.
  EXPECT_EQ(ok("sendDtmf", {{"peerConnectionId", id}, {"tone", "1"}}),
            Value(ValueMap{{"result", "success"}}));

  auto connection = framework(id);
  auto factory = plugin->peerConnectionFactory();
  auto first = connection->addTrack(factory->audioTrackWithSource(nullptr, "a1"), {});
  auto last = connection->addTrack(factory->audioTrackWithSource(nullptr, "a2"), {});
  EXPECT_EQ(ok("sendDtmf", {{"peerConnectionId", id},
                            {"tone", "12#"},
                            {"duration", int32_t{100}},
                            {"gap", int32_t{70}}}),
            Value(ValueMap{{"result", "success"}}));
  dart.drain();
  EXPECT_TRUE(webrtc::testing::insertedDtmfTones(*first->dtmfSender()).empty());
  EXPECT_EQ(webrtc::testing::insertedDtmfTones(*last->dtmfSender()),
            std::vector<std::string>{"12#"});
  EXPECT_DOUBLE_EQ(last->dtmfSender()->duration(), 100);

  // Tones or times the sender refuses are answered as a failure, and nothing plays.
  const FlutterError refused = failed("sendDtmfFailed", "Error: the tones could not be sent");
  EXPECT_EQ(call("sendDtmf", {{"peerConnectionId", id}, {"tone", "1x"}, {"duration", 100},
                              {"gap", 70}})
                .error,
            refused);
  EXPECT_EQ(call("sendDtmf", {{"peerConnectionId", id}, {"tone", "1"}, {"duration", 10},
                              {"gap", 70}})
                .error,
            refused);
  EXPECT_EQ(webrtc::testing::insertedDtmfTones(*last->dtmfSender()),
            std::vector<std::string>{"12#"});
}

}  // namespace
}  // namespace webrtc_host::testing
