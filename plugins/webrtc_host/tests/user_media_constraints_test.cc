// "getUserMedia" edge cases: the constraints as the Dart side may send them (well or badly
// formed), cameras discovered by OS version, frame-rate configuration refused, and camera
// controls with their exact refusals.
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

FlutterError code(const std::string& text) { return FlutterError{text, std::nullopt, nullptr}; }

class UserMediaConstraintsTest : public LocalMediaTest {
 protected:
  Value settingsOf(const std::string& kind, ValueMap constraints) {
    auto reply = ok("getUserMedia", {{"constraints", std::move(constraints)}});
    const Value* tracks = reply.find(kind);
    if (tracks == nullptr || tracks->asList() == nullptr || tracks->asList()->empty()) {
      ADD_FAILURE() << "no " << kind;
      return Value();
    }
    return *tracks->asList()->at(0).find("settings");
  }
};

TEST_F(UserMediaConstraintsTest, MicrophoneIdsAreRecordedNotChosen) {
  EXPECT_EQ(*settingsOf("audioTracks", {{"audio", ValueMap{{"deviceId", "mic-1"},
                                                            {"optional", ValueList{ValueMap{
                                                                             {"sourceId", "x"}}}}}}})
                 .find("deviceId"),
            Value("mic-1"));
  // Without "deviceId", the last "sourceId" of "optional" wins; entries of other types are skipped.
  EXPECT_EQ(*settingsOf("audioTracks",
                        {{"audio", ValueMap{{"optional", ValueList{ValueMap{{"sourceId", "a"}},
                                                                   Value(3),
                                                                   ValueMap{{"sourceId", 9}},
                                                                   ValueMap{{"sourceId", "b"}}}}}}})
                 .find("deviceId"),
            Value("b"));
  // A number "audio" with a true value, a non-list "optional", a non-string id.
  EXPECT_EQ(*settingsOf("audioTracks", {{"audio", 1}}).find("deviceId"), Value(""));
  EXPECT_EQ(*settingsOf("audioTracks", {{"audio", ValueMap{{"optional", "x"}, {"deviceId", 5}}}})
                 .find("deviceId"),
            Value(""));
}

TEST_F(UserMediaConstraintsTest, BadlyFormedConstraintsAskForNothingOrFallBack) {
  // Not a map at all, or kinds of the wrong type: an empty stream, no permission asked.
  for (Value constraints : {Value(), Value("audio"), Value(ValueList{true}),
                            Value(ValueMap{{"video", "true"}, {"audio", ValueList{}}})}) {
    auto reply = call("getUserMedia", {{"constraints", constraints}});
    ASSERT_TRUE(reply.isSuccess()) << constraints.debugString();
    EXPECT_EQ(*reply.value.find("videoTracks"), Value(ValueList{}));
    EXPECT_EQ(*reply.value.find("audioTracks"), Value(ValueList{}));
  }
  EXPECT_TRUE(avfoundation::testing::accessRequests().empty());

  // A non-string facing mode chooses nothing: the default camera. An unknown string asks for the
  // unspecified position, which is the default camera too.
  auto numeric_facing = settingsOf("videoTracks", {{"video", ValueMap{{"facingMode", 1}}}});
  EXPECT_EQ(*numeric_facing.find("deviceId"), Value("F"));
  avfoundation::testing::setDefaultCaptureDevice(AVMediaTypeVideo, back);
  auto odd_facing = settingsOf("videoTracks", {{"video", ValueMap{{"facingMode", "sideways"}}}});
  EXPECT_EQ(*odd_facing.find("deviceId"), Value("B"));

  // Mandatory zeros and junk leave the targets; a non-map "mandatory" is ignored.
  auto sized = settingsOf("videoTracks",
                          {{"video", ValueMap{{"deviceId", "F"},
                                              {"width", "1280"},
                                              {"height", ValueMap{{"ideal", "720"}}},
                                              {"frameRate", 25.9},
                                              {"mandatory", ValueMap{{"minWidth", "0"},
                                                                     {"minHeight", "junk"},
                                                                     {"minFrameRate", 0}}}}}});
  EXPECT_EQ(*sized.find("width"), Value(1280));
  EXPECT_EQ(*sized.find("height"), Value(720));
  EXPECT_EQ(*sized.find("frameRate"), Value(25));
  auto ignored = settingsOf("videoTracks", {{"video", ValueMap{{"deviceId", "F"},
                                                              {"width", 640},
                                                              {"mandatory", "minWidth"}}}});
  EXPECT_EQ(*ignored.find("width"), Value(640));
}

TEST_F(UserMediaConstraintsTest, ExtremeTargetsAreOverconstrainedAndRatesNeverNegative) {
  // A running capture that a refused request must leave alone.
  auto [stream, track] = camera({{"deviceId", "F"}, {"width", 640}, {"height", 480}});
  auto running = plugin->videoCapturer();
  const FlutterError overconstrained{"Error OverconstrainedError", std::nullopt, nullptr};
  for (const Value& extreme : {Value(2147483647), Value("-2147483648"), Value(INT32_MIN),
                               Value(ValueMap{{"ideal", "2147483647"}})}) {
    for (const char* device : {"F", "B"}) {
      EXPECT_EQ(getUserMedia({{"video", ValueMap{{"deviceId", device},
                                                 {"width", extreme},
                                                 {"height", extreme}}}})
                    .error,
                overconstrained)
          << extreme.debugString();
    }
  }
  EXPECT_EQ(plugin->videoCapturer(), running);
  EXPECT_TRUE(webrtc::testing::cameraCaptureState(*running).running);
  EXPECT_EQ(plugin->localMedia().tracks().size(), 1u);

  // Negative rates, given directly or through "mandatory", capture at no negative rate.
  for (ValueMap video : {ValueMap{{"deviceId", "B"}, {"frameRate", -30}},
                         ValueMap{{"deviceId", "B"}, {"frameRate", "-2147483648"}},
                         ValueMap{{"deviceId", "B"}, {"mandatory", ValueMap{{"minFrameRate", -5}}}}}) {
    auto settings = settingsOf("videoTracks", {{"video", video}});
    EXPECT_EQ(*settings.find("frameRate"), Value(0));
    EXPECT_GE(webrtc::testing::cameraCaptureState(*plugin->videoCapturer()).fps, 0);
    EXPECT_GE(back->activeVideoMinFrameDuration().timescale, 0);
  }
}

TEST_F(UserMediaConstraintsTest, CamerasBeyondBuiltInOnesNeedMacOS14) {
  avfoundation::testing::connectCaptureDevice(AVCaptureDevice::Description{
      "USB", "USB Camera", AVMediaTypeVideo, AVCaptureDeviceTypeExternal,
      AVCaptureDevicePositionUnspecified, {AVCaptureDeviceFormat({320, 240}, 0, {{1, 30}})}, {}});
  const auto cameraIds = [&] {
    std::vector<std::string> ids;
    const Value reply = ok("getSources");
    for (const auto& source : *reply.find("sources")->asList()) {
      if (*source.find("kind") == Value("videoinput")) ids.push_back(*source.find("deviceId")->asString());
    }
    return ids;
  };
  EXPECT_EQ(cameraIds(), (std::vector<std::string>{"F", "B", "USB"}));
  foundation::testing::setEmulatedOperatingSystemVersion({13, 6, 0});
  EXPECT_EQ(cameraIds(), (std::vector<std::string>{"F", "B"}));
  // An external camera cannot be asked for by id there: the default camera is used.
  EXPECT_EQ(*settingsOf("videoTracks", {{"video", ValueMap{{"deviceId", "USB"}}}}).find("deviceId"),
            Value("F"));
  foundation::testing::setEmulatedOperatingSystemVersion({14, 0, 0});
  EXPECT_EQ(*settingsOf("videoTracks", {{"video", ValueMap{{"deviceId", "USB"}}}}).find("deviceId"),
            Value("USB"));
}

TEST_F(UserMediaConstraintsTest, RefusedConfigurationStillCapturesAndTheRateIsSet) {
  auto [stream, track] = camera({{"deviceId", "B"}, {"frameRate", 24}});
  EXPECT_EQ(back->activeVideoMinFrameDuration(), CMTimeMake(1, 24));
  EXPECT_EQ(back->activeVideoMaxFrameDuration(), CMTimeMake(1, 24));

  avfoundation::testing::refuseFrameDurations(*back, true);
  camera({{"deviceId", "B"}, {"frameRate", 15}});
  EXPECT_TRUE(webrtc::testing::cameraCaptureState(*plugin->videoCapturer()).running);
  avfoundation::testing::refuseConfigurationLock(*back, NSError{"AV", 1, "in use"});
  camera({{"deviceId", "B"}});
  EXPECT_TRUE(webrtc::testing::cameraCaptureState(*plugin->videoCapturer()).running);

  // A start that fails is only logged: the reply has a track already.
  webrtc::testing::failNextCameraStart(NSError{"Camera", 3, "busy"});
  auto failed_start = getUserMedia({{"video", true}});
  ASSERT_TRUE(failed_start.isSuccess());
  EXPECT_EQ(failed_start.value.find("videoTracks")->asList()->size(), 1u);
  // Each new camera track stops the previous capture; the earlier tracks stay registered.
  EXPECT_EQ(plugin->localMedia().captureCount(), 4u);
  EXPECT_TRUE(plugin->localMedia().tracks().contains(track));
}

TEST_F(UserMediaConstraintsTest, RefusingTheMicrophoneNeverAsksForTheCamera) {
  avfoundation::testing::setCaptureAccess(AVMediaTypeAudio,
                                          avfoundation::testing::CaptureAccess::refused);
  EXPECT_EQ(getUserMedia({{"audio", true}, {"video", true}}).error,
            (FlutterError{"Error DOMException", "NotAllowedError", nullptr}));
  EXPECT_EQ(avfoundation::testing::accessRequests(), std::vector<AVMediaType>{AVMediaTypeAudio});
  EXPECT_TRUE(webrtc::testing::liveCameraCapturers().empty());
}

TEST_F(UserMediaConstraintsTest, EveryRefusedCameraControlAnswersItsOwnCode) {
  auto [stream, track] = camera();
  const std::vector<std::pair<std::string, std::string>> refused{
      {"mediaStreamTrackSetFocusMode", "focusMode"},
      {"mediaStreamTrackSetFocusPoint", "focusPoint"},
      {"mediaStreamTrackSetExposureMode", "exposureMode"},
      {"mediaStreamTrackSetExposurePoint", "exposurePoint"}};
  for (const auto& [method, argument] : refused) {
    EXPECT_EQ(call(method, {{"trackId", track}, {argument, ValueMap{{"x", 0.5}}}}).error,
              (FlutterError{method + "Failed", "Not supported on macOS", nullptr}));
    EXPECT_EQ(call(method, {{"trackId", track}}).error, code("Track is class of LocalVideoTrack"));
    EXPECT_EQ(call(method, {{"trackId", 17}, {argument, 1}}).error, code("Track is nil"));
  }
  EXPECT_EQ(call("mediaStreamTrackSetZoom", {{"trackId", track}}).error,
            (FlutterError{"mediaStreamTrackSetZoomFailed", "Not supported on macOS", nullptr}));
  for (const char* method : {"mediaStreamTrackHasTorch", "mediaStreamTrackSetTorch",
                             "mediaStreamTrackSwitchCamera", "mediaStreamTrackSetZoom"}) {
    EXPECT_EQ(call(method, {}).error, code("Track is nil")) << method;
  }

  // A camera track listed again after its stream (and so its capture) is gone: no torch, and
  // nothing to switch.
  const std::string holder = *ok("createLocalMediaStream").find("streamId")->asString();
  ok("mediaStreamAddTrack", {{"streamId", holder}, {"trackId", track}});
  ok("streamDispose", {{"streamId", stream}});
  EXPECT_EQ(plugin->videoCapturer(), nullptr);
  ok("mediaStreamGetTracks", {{"streamId", holder}});
  const std::string& kept = track;
  EXPECT_EQ(ok("mediaStreamTrackHasTorch", {{"trackId", kept}}), Value(false));
  EXPECT_EQ(call("mediaStreamTrackSetTorch", {{"trackId", kept}, {"torch", true}}).error,
            (FlutterError{"mediaStreamTrackSetTorchFailed", "device is nil", nullptr}));
  EXPECT_EQ(call("mediaStreamTrackSwitchCamera", {{"trackId", kept}}).error.code,
            "Error while switching camera");
}

TEST_F(UserMediaConstraintsTest, ASingleCameraOfNoPositionStillFlipsTheSwitch) {
  avfoundation::testing::resetCaptureDevices();
  auto only = avfoundation::testing::connectCaptureDevice(avfoundation::testing::cameraDescription(
      "U", AVCaptureDevicePositionUnspecified, {{640, 480}}));
  auto [stream, track] = camera({{"width", 640}, {"height", 480}, {"frameRate", 20}});
  EXPECT_EQ(ok("mediaStreamTrackSwitchCamera", {{"trackId", track}}), Value(true));
  EXPECT_EQ(ok("mediaStreamTrackSwitchCamera", {{"trackId", track}}), Value(false));
  auto state = webrtc::testing::cameraCaptureState(*plugin->videoCapturer());
  EXPECT_EQ(state.device, only);
  EXPECT_EQ(state.fps, 20);
  // The failed restart keeps the flip.
  webrtc::testing::failNextCameraStart(NSError{"Camera", 3, "busy"});
  EXPECT_EQ(call("mediaStreamTrackSwitchCamera", {{"trackId", track}}).error.message,
            std::optional<std::string>("Error while switching camera"));
  EXPECT_EQ(ok("mediaStreamTrackSwitchCamera", {{"trackId", track}}), Value(false));
}

}  // namespace
}  // namespace webrtc_host::testing
