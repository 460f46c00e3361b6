// Streams and tracks, camera stops and camera control.
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

FlutterError code(const std::string& text) { return FlutterError{text, std::nullopt, nullptr}; }

TEST_F(LocalMediaTest, StreamAndTrackOperations) {
  const std::string stream = *ok("createLocalMediaStream").find("streamId")->asString();
  auto media = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}}}});
  const std::string audio_id =
      *media.find("audioTracks")->asList()->at(0).find("id")->asString();

  EXPECT_EQ(call("mediaStreamAddTrack", {{"streamId", "x"}, {"trackId", audio_id}}).error,
            code("mediaStreamAddTrack: Stream is nil"));
  EXPECT_EQ(call("mediaStreamAddTrack", {{"streamId", stream}, {"trackId", 3}}).error,
            code("mediaStreamAddTrack: Track is nil"));
  ok("mediaStreamAddTrack", {{"streamId", stream}, {"trackId", audio_id}});
  auto tracks = ok("mediaStreamGetTracks", {{"streamId", stream}});
  EXPECT_EQ(*tracks.find("audioTracks"), Value(ValueList{ValueMap{{"id", audio_id},
                                                                  {"label", audio_id},
                                                                  {"kind", "audio"},
                                                                  {"enabled", true},
                                                                  {"readyState", "live"},
                                                                  {"remote", false}}}));
  EXPECT_EQ(ok("mediaStreamGetTracks", {{"streamId", "none"}}), Value());

  // Mute and enable: a missing Boolean reads as false.
  auto track = plugin->localMedia().track(audio_id)->track();
  ok("setMicrophoneMute", {{"trackId", audio_id}, {"mute", true}});
  EXPECT_FALSE(track->isEnabled());
  ok("setMicrophoneMute", {{"trackId", audio_id}});
  EXPECT_TRUE(track->isEnabled());
  ok("mediaStreamTrackSetEnable", {{"trackId", audio_id}});
  EXPECT_FALSE(track->isEnabled());
  ok("setVolume", {{"trackId", audio_id}, {"volume", 4.5}});
  EXPECT_EQ(std::static_pointer_cast<RTCAudioTrack>(track)->source()->volume(), 4.5);
  ok("setMicrophoneMute", {{"trackId", "nobody"}, {"mute", true}});

  EXPECT_EQ(call("mediaStreamRemoveTrack", {{"streamId", stream}, {"trackId", "x"}}).error,
            code("mediaStreamRemoveTrack: Track is nil"));
  ok("mediaStreamRemoveTrack", {{"streamId", stream}, {"trackId", audio_id}});
  EXPECT_EQ(*ok("mediaStreamGetTracks", {{"streamId", stream}}).find("audioTracks"),
            Value(ValueList{}));
  ok("trackDispose", {{"trackId", audio_id}});
  EXPECT_FALSE(plugin->localMedia().tracks().contains(audio_id));
  ok("streamDispose", {{"streamId", stream}});
  EXPECT_FALSE(plugin->localMedia().streams().contains(stream));
  ok("streamDispose", {{"streamId", stream}});
}

TEST_F(LocalMediaTest, StreamDisposeAnswersAfterTheLastCameraHasStopped) {
  auto [stream, first] = camera();
  const std::string second_stream = *ok("createLocalMediaStream").find("streamId")->asString();
  auto [other_stream, second] = camera({{"facingMode", "environment"}});
  ok("mediaStreamAddTrack", {{"streamId", stream}, {"trackId", second}});
  auto newest = plugin->videoCapturer();

  webrtc::testing::holdCameraStops(true);
  auto pending = dart.invokeMethodAsync(kMethodChannel, "streamDispose",
                                        ValueMap{{"streamId", stream}});
  ASSERT_TRUE(dart.runUntil([] { return webrtc::testing::releaseHeldCameraStops() > 0; }));
  // The first camera's capturer was released when it was replaced: only one stop is held.
  ASSERT_TRUE(pending.wait().isSuccess());
  // The stopped capturer was the current one: it is forgotten.
  EXPECT_EQ(plugin->videoCapturer(), nullptr);
  EXPECT_FALSE(webrtc::testing::cameraCaptureState(*newest).running);
  EXPECT_FALSE(plugin->localMedia().tracks().contains(first));
}

TEST_F(LocalMediaTest, AStopOfAnOlderCameraLeavesTheNewerCapturer) {
  auto [stream, first] = camera();
  auto older = plugin->videoCapturer();
  webrtc::testing::holdCameraStops(true);
  auto pending = dart.invokeMethodAsync(kMethodChannel, "streamDispose",
                                        ValueMap{{"streamId", stream}});
  ASSERT_TRUE(dart.runUntil([&] {
    return webrtc::testing::cameraCaptureState(*older).running == false;
  }));
  camera();
  auto newer = plugin->videoCapturer();
  EXPECT_EQ(webrtc::testing::releaseHeldCameraStops(), 1u);
  ASSERT_TRUE(pending.wait().isSuccess());
  EXPECT_EQ(plugin->videoCapturer(), newer);
}

TEST_F(LocalMediaTest, TrackDisposeStopsTheCameraEvenOutsideAnyStream) {
  auto [stream, track] = camera();
  ok("mediaStreamRemoveTrack", {{"streamId", stream}, {"trackId", track}});
  auto capturer = plugin->videoCapturer();
  ok("trackDispose", {{"trackId", track}});
  EXPECT_FALSE(webrtc::testing::cameraCaptureState(*capturer).running);
  // Once the stop has reported back, the plug-in still names the capturer.
  dart.drain();
  EXPECT_EQ(plugin->videoCapturer(), capturer);
  EXPECT_FALSE(plugin->localMedia().isCapturing(track));
}

TEST_F(LocalMediaTest, CameraControlsAndTheirRefusals) {
  auto media = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}}}});
  const std::string audio = *media.find("audioTracks")->asList()->at(0).find("id")->asString();
  EXPECT_EQ(call("mediaStreamTrackHasTorch", {{"trackId", "x"}}).error, code("Track is nil"));
  EXPECT_EQ(call("mediaStreamTrackSetZoom", {{"trackId", audio}, {"zoomLevel", 2.0}}).error,
            code("Track is class of LocalAudioTrack"));
  // Switching with no camera running is still answered.
  auto [stream, video] = camera();
  ok("trackDispose", {{"trackId", video}});
  auto [stream2, track] = camera();

  EXPECT_EQ(ok("mediaStreamTrackHasTorch", {{"trackId", track}}), Value(false));
  EXPECT_EQ(call("mediaStreamTrackSetTorch", {{"trackId", track}, {"torch", true}}).error,
            (FlutterError{"mediaStreamTrackSetTorchFailed", "device does not support torch",
                          nullptr}));
  EXPECT_EQ(call("mediaStreamTrackSetZoom", {{"trackId", track}, {"zoomLevel", 2.0}}).error,
            (FlutterError{"mediaStreamTrackSetZoomFailed", "Not supported on macOS", nullptr}));
  EXPECT_EQ(call("mediaStreamTrackSetFocusMode", {{"trackId", track}}).error,
            code("Track is class of LocalVideoTrack"));
  EXPECT_EQ(call("mediaStreamTrackSetExposurePoint", {{"trackId", track}, {"exposurePoint", 1}})
                .error.code,
            "mediaStreamTrackSetExposurePointFailed");

  // Two switches flip between the cameras with the remembered targets.
  EXPECT_EQ(ok("mediaStreamTrackSwitchCamera", {{"trackId", track}}), Value(true));
  EXPECT_EQ(webrtc::testing::cameraCaptureState(*plugin->videoCapturer()).device, front);
  EXPECT_EQ(ok("mediaStreamTrackSwitchCamera", {{"trackId", track}}), Value(false));
  auto state = webrtc::testing::cameraCaptureState(*plugin->videoCapturer());
  EXPECT_EQ(state.device, back);
  EXPECT_EQ(state.fps, 0);
  webrtc::testing::failNextCameraStart(NSError{"Camera", 3, "busy"});
  EXPECT_EQ(call("mediaStreamTrackSwitchCamera", {{"trackId", track}}).error.code,
            "Error while switching camera");
}

TEST_F(LocalMediaTest, TorchSwitchesWhenTheCameraHasOne) {
  auto torch = AVCaptureDevice::Description{"T", "Torch", AVMediaTypeVideo,
                                            AVCaptureDeviceTypeBuiltInWideAngleCamera,
                                            AVCaptureDevicePositionBack,
                                            {AVCaptureDeviceFormat({640, 480}, 0, {{1, 30}})},
                                            {AVCaptureTorchModeOff, AVCaptureTorchModeOn}};
  auto device = avfoundation::testing::connectCaptureDevice(torch);
  auto [stream, track] = camera({{"deviceId", "T"}});
  webrtc::testing::cameraCaptureState(*plugin->videoCapturer());
  EXPECT_EQ(ok("mediaStreamTrackHasTorch", {{"trackId", track}}), Value(true));
  ok("mediaStreamTrackSetTorch", {{"trackId", track}, {"torch", true}});
  EXPECT_EQ(device->torchMode(), AVCaptureTorchModeOn);
  avfoundation::testing::refuseConfigurationLock(*device, NSError{"AV", 1, "in use"});
  EXPECT_EQ(call("mediaStreamTrackSetTorch", {{"trackId", track}, {"torch", false}}).error,
            (FlutterError{"mediaStreamTrackSetTorchFailed", "in use", nullptr}));
}

}  // namespace
}  // namespace webrtc_host::testing
