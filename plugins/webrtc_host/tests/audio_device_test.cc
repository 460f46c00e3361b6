// Audio-device-module operations, mute modes and device-change events.
#include "platform/webrtc/testing/audio_device_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

using webrtc::testing::AudioDeviceOperation;

class AudioDeviceTest : public WebRTCHostTest {
 protected:
  RTCAudioDeviceModule& module() { return *plugin->peerConnectionFactory()->audioDeviceModule(); }
};

TEST_F(AudioDeviceTest, BeforeInitializeNothingIsReachedAndNothingFails) {
  EXPECT_TRUE(ok("startLocalRecording").isNull());
  EXPECT_EQ(ok("isVoiceProcessingEnabled"), Value(false));
  EXPECT_EQ(ok("isMicrophoneMuted"), Value(false));
  EXPECT_EQ(ok("getMicrophoneMuteMode"), Value("voiceProcessing"));
  EXPECT_TRUE(ok("setMicrophoneMuted", {{"muted", true}}).isNull());
}

TEST_F(AudioDeviceTest, RecordingAndFailingStatuses) {
  initialize();
  EXPECT_TRUE(ok("startLocalRecording").isNull());
  EXPECT_TRUE(module().isRecording());
  webrtc::testing::failNextAudioDeviceOperation(module(), AudioDeviceOperation::startRecording, -3);
  EXPECT_EQ(call("startLocalRecording").error,
            failed("startLocalRecording failed", "Error: adm api failed with code: -3"));
  EXPECT_TRUE(ok("stopLocalRecording").isNull());
  EXPECT_FALSE(module().isRecording());
}

TEST_F(AudioDeviceTest, VoiceProcessingQueriesAndBypass) {
  initialize();
  EXPECT_EQ(ok("isVoiceProcessingEnabled"), Value(true));
  webrtc::testing::setVoiceProcessingAllowed(module(), false);
  EXPECT_EQ(ok("isVoiceProcessingEnabled"), Value(false));
  EXPECT_EQ(ok("isVoiceProcessingBypassed"), Value(false));
  EXPECT_TRUE(ok("setIsVoiceProcessingBypassed", {{"value", int32_t{1}}}).isNull());
  EXPECT_EQ(ok("isVoiceProcessingBypassed"), Value(true));
}

TEST_F(AudioDeviceTest, MuteModesAndMuting) {
  initialize();
  EXPECT_TRUE(ok("setMicrophoneMuteMode", {{"mode", "inputMixer"}}).isNull());
  EXPECT_EQ(module().muteMode(), RTCAudioEngineMuteModeInputMixer);
  EXPECT_EQ(ok("getMicrophoneMuteMode"), Value("inputMixer"));
  EXPECT_EQ(call("setMicrophoneMuteMode", {{"mode", "InputMixer"}}).error,
            failed("setMicrophoneMuteMode failed", "Error: invalid mute mode: InputMixer"));
  EXPECT_EQ(call("setMicrophoneMuteMode").error.message, "Error: invalid mute mode: (null)");
  webrtc::testing::setReportedMuteMode(module(), -1);
  EXPECT_EQ(ok("getMicrophoneMuteMode"), Value("unknown"));
  webrtc::testing::setReportedMuteMode(module(), 7);
  EXPECT_EQ(ok("getMicrophoneMuteMode"), Value("voiceProcessing"));

  EXPECT_EQ(call("setMicrophoneMuted", {{"muted", "yes"}}).error,
            failed("setMicrophoneMuted failed", "Error: muted is required"));
  EXPECT_EQ(call("setMicrophoneMuted").error.message, "Error: muted is required");
  EXPECT_TRUE(ok("setMicrophoneMuted", {{"muted", int32_t{1}}}).isNull());
  EXPECT_EQ(ok("isMicrophoneMuted"), Value(true));
  webrtc::testing::failNextAudioDeviceOperation(module(), AudioDeviceOperation::setMicrophoneMuted,
                                                5);
  EXPECT_EQ(call("setMicrophoneMuted", {{"muted", false}}).error.message,
            "Error: adm api failed with code: 5");
  EXPECT_EQ(ok("isMicrophoneMuted"), Value(true));
}

TEST_F(AudioDeviceTest, EveryMuteModeReachesTheModuleAndReadsBack) {
  initialize();
  for (const auto& [name, mode] :
       {std::pair{"restartEngine", RTCAudioEngineMuteModeRestartEngine},
        std::pair{"inputMixer", RTCAudioEngineMuteModeInputMixer},
        std::pair{"voiceProcessing", RTCAudioEngineMuteModeVoiceProcessing}}) {
    EXPECT_TRUE(ok("setMicrophoneMuteMode", {{"mode", name}}).isNull());
    EXPECT_EQ(module().muteMode(), mode) << name;
    EXPECT_EQ(ok("getMicrophoneMuteMode"), Value(name));
  }
}

TEST_F(AudioDeviceTest, DeviceChangesAreEventsWhileSomebodyListens) {
  initialize();
  webrtc::testing::setAudioDevices(module(), {{"usb", "USB Mic"}}, {});
  ASSERT_TRUE(dart.listen(kEventChannel).isSuccess());
  webrtc::testing::setAudioDevices(module(), {}, {{"hdmi", "Monitor"}});
  ASSERT_TRUE(waitForEvent(kEventChannel, "onDeviceChange"));
  dart.drain();
  EXPECT_EQ(eventsNamed(kEventChannel, "onDeviceChange").size(), 1u);
}

TEST_F(AudioDeviceTest, AClassLevelObserverTakesThePluginsPlace) {
  struct Observer : RTCAudioDeviceModuleDelegate {
    void audioDeviceModuleDidUpdateDevices(RTCAudioDeviceModule&) override { ++updates; }
    std::atomic<int> updates{0};
  };
  auto observer = std::make_shared<Observer>();
  WebRTCHostPlugin::setAudioDeviceModuleObserver(observer);
  initialize();
  WebRTCHostPlugin::setAudioDeviceModuleObserver({});
  webrtc::testing::setAudioDevices(module(), {}, {});
  EXPECT_EQ(observer->updates, 1);
}

}  // namespace
}  // namespace webrtc_host::testing
