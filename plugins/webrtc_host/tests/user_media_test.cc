// "getUserMedia": permission order and failures, constraints, device, format and rate choice.
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

using avfoundation::testing::CaptureAccess;

TEST_F(LocalMediaTest, AsksForTheMicrophoneThenTheCameraAndRepliesOneStream) {
  auto reply = getUserMedia({{"audio", true}, {"video", true}});
  ASSERT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_EQ(avfoundation::testing::accessRequests(),
            (std::vector<AVMediaType>{AVMediaTypeAudio, AVMediaTypeVideo}));
  const auto& audio = reply.value.find("audioTracks")->asList()->at(0);
  const auto& video = reply.value.find("videoTracks")->asList()->at(0);
  EXPECT_EQ(*audio.find("kind"), Value("audio"));
  EXPECT_EQ(*audio.find("settings"), Value(ValueMap{{"deviceId", ""},
                                                    {"kind", "audioinput"},
                                                    {"autoGainControl", true},
                                                    {"echoCancellation", true},
                                                    {"noiseSuppression", true},
                                                    {"channelCount", 1},
                                                    {"latency", 0}}));
  // "video": true targets 1280 x 720 at 30 on the default (front) camera.
  EXPECT_EQ(*video.find("settings"), Value(ValueMap{{"deviceId", "F"},
                                                    {"kind", "videoinput"},
                                                    {"width", 1280},
                                                    {"height", 720},
                                                    {"frameRate", 30},
                                                    {"facingMode", "user"}}));
  EXPECT_TRUE(plugin->localMedia().streams().contains(*reply.value.find("streamId")->asString()));
  EXPECT_EQ(plugin->localMedia().tracks().size(), 2u);

  // Nothing asked: two empty lists at once, no permission.
  auto nothing = getUserMedia({{"audio", false}, {"video", 0}});
  EXPECT_EQ(*nothing.value.find("audioTracks"), Value(ValueList{}));
  EXPECT_EQ(*nothing.value.find("videoTracks"), Value(ValueList{}));
  EXPECT_EQ(avfoundation::testing::accessRequests().size(), 2u);
}

TEST_F(LocalMediaTest, FailuresAnswerTheirCodesAndLeaveNoTracksBehind) {
  avfoundation::testing::setCaptureAccess(AVMediaTypeVideo, CaptureAccess::refused);
  auto refused = getUserMedia({{"audio", true}, {"video", true}});
  EXPECT_EQ(refused.error, (FlutterError{"Error DOMException", "NotAllowedError", nullptr}));
  // The microphone track made before the refusal is gone again.
  EXPECT_TRUE(plugin->localMedia().tracks().empty());
  EXPECT_TRUE(plugin->localMedia().streams().empty());

  // A deferred answer keeps the call waiting until the user decides.
  avfoundation::testing::setCaptureAccess(AVMediaTypeAudio, CaptureAccess::deferred);
  auto pending = dart.invokeMethodAsync(kMethodChannel, "getUserMedia",
                                        ValueMap{{"constraints", ValueMap{{"audio", true}}}});
  dart.drain();
  EXPECT_FALSE(pending.ready());
  EXPECT_EQ(avfoundation::testing::answerDeferredAccessRequests(AVMediaTypeAudio, false), 1u);
  EXPECT_EQ(pending.wait().error,
            (FlutterError{"Error DOMException", "NotAllowedError", nullptr}));

  // A camera without formats is refused before any capture starts.
  avfoundation::testing::resetCaptureDevices();
  avfoundation::testing::connectCaptureDevice(
      avfoundation::testing::cameraDescription("E", AVCaptureDevicePositionBack, {}));
  EXPECT_EQ(getUserMedia({{"video", true}}).error,
            (FlutterError{"Error OverconstrainedError", std::nullopt, nullptr}));
  EXPECT_TRUE(webrtc::testing::liveCameraCapturers().empty());

  avfoundation::testing::resetCaptureDevices();
  EXPECT_EQ(getUserMedia({{"video", true}}).error,
            (FlutterError{"Error DOMException", "NotFoundError", nullptr}));
}

TEST_F(LocalMediaTest, ConstraintIntegersAndChoicesOfFormatAndRate) {
  const Value constraints{ValueMap{{"n", 12.9},
                                   {"s", "640px"},
                                   {"w", "wide"},
                                   {"i", ValueMap{{"ideal", 640}}},
                                   {"is", ValueMap{{"ideal", "640"}}}}};
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "n"), 12);
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "s"), 640);
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "w"), 0);
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "i"), 0);
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "is"), 640);
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&constraints, "missing"), 0);
  const Value list{ValueList{1}};
  EXPECT_EQ(WebRTCHostPlugin::integerConstraint(&list, "n"), 0);

  const AVCaptureDeviceFormat format({640, 480}, 0, {{1, 15}, {1, 30}});
  EXPECT_EQ(WebRTCHostPlugin::selectFpsForFormat(format, 60), 30);
  EXPECT_EQ(WebRTCHostPlugin::selectFpsForFormat(format, 15), 15);
  EXPECT_EQ(WebRTCHostPlugin::selectFpsForFormat(AVCaptureDeviceFormat({1, 1}, 0, {}), 30), 0);

  // Equal distances: a later format wins only with the capturer's preferred pixel format.
  auto tied = avfoundation::testing::connectCaptureDevice(AVCaptureDevice::Description{
      "T", "Tied", AVMediaTypeVideo, AVCaptureDeviceTypeExternal, AVCaptureDevicePositionBack,
      {AVCaptureDeviceFormat({100, 100}, 1, {{1, 30}}), AVCaptureDeviceFormat({300, 100}, 2, {}),
       AVCaptureDeviceFormat({100, 300}, kCVPixelFormatType_420YpCbCr8BiPlanarFullRange, {})},
      {}});
  EXPECT_EQ(plugin->selectFormatForDevice(tied, 200, 200)->mediaSubType(), 1u);
  camera();
  EXPECT_EQ(plugin->selectFormatForDevice(tied, 200, 200)->mediaSubType(), kCVPixelFormatType_420YpCbCr8BiPlanarFullRange);
  EXPECT_EQ(plugin->selectFormatForDevice(tied, 0, 0)->dimensions().width, 100);
}

TEST_F(LocalMediaTest, DevicesAreChosenByIdThenOptionalThenFacingThenDefault) {
  const auto settingsOf = [&](ValueMap video) {
    auto reply = ok("getUserMedia", {{"constraints", ValueMap{{"video", std::move(video)}}}});
    return *reply.find("videoTracks")->asList()->at(0).find("settings");
  };
  auto by_id = settingsOf({{"deviceId", "B"}, {"facingMode", "user"}});
  EXPECT_EQ(*by_id.find("deviceId"), Value("B"));
  EXPECT_EQ(*by_id.find("facingMode"), Value("environment"));
  EXPECT_EQ(*by_id.find("width"), Value(1920));
  EXPECT_EQ(*by_id.find("frameRate"), Value(0));

  auto optional = settingsOf({{"deviceId", "nope"},
                              {"optional", ValueList{ValueMap{{"sourceId", 5}},
                                                     ValueMap{{"sourceId", "B"}}}}});
  EXPECT_EQ(*optional.find("deviceId"), Value("B"));

  auto facing = settingsOf({{"facingMode", "environment"},
                            {"width", 1280},
                            {"height", "720"},
                            {"mandatory", ValueMap{{"minFrameRate", "24"}}}});
  EXPECT_EQ(*facing.find("deviceId"), Value("B"));
  EXPECT_EQ(*facing.find("facingMode"), Value("environment"));
  EXPECT_EQ(*facing.find("frameRate"), Value(24));

  // No size asked: the format with the smallest width + height.
  auto fallback = settingsOf({{"deviceId", 7}});
  EXPECT_EQ(*fallback.find("deviceId"), Value("F"));
  EXPECT_EQ(*fallback.find("width"), Value(640));

  auto capturer = plugin->videoCapturer();
  ASSERT_NE(capturer, nullptr);
  auto state = webrtc::testing::cameraCaptureState(*capturer);
  EXPECT_TRUE(state.running);
  EXPECT_EQ(state.device, front);
}

}  // namespace
}  // namespace webrtc_host::testing
