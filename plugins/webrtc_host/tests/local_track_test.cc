// Local streams and tracks beyond the happy path: unknown and mistyped ids, calls before
// "initialize", camera stops answered once after the last, video processors on the capture path,
// audio processing fanned out to several processors and renderers, and device routing.
#include <cmath>
#include <limits>

#include "platform/webrtc/testing/audio_device_controls.h"
#include "platform/webrtc/testing/audio_processing_controls.h"
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

FlutterError code(const std::string& text) { return FlutterError{text, std::nullopt, nullptr}; }

TEST_F(WebRTCHostTest, MediaCallsBeforeInitializeAnswerAndListOnlyCameras) {
  avfoundation::testing::resetCaptureDevices();
  avfoundation::testing::connectCaptureDevice(
      avfoundation::testing::cameraDescription("C", AVCaptureDevicePositionBack, {{640, 480}}));
  auto sources = *ok("getSources").find("sources")->asList();
  ASSERT_EQ(sources.size(), 1u);
  EXPECT_EQ(*sources[0].find("facing"), Value("back"));
  EXPECT_FALSE(call("getUserMedia", {{"constraints", ValueMap{{"video", true}}}}).isSuccess());
  EXPECT_FALSE(call("createLocalMediaStream").isSuccess());
  EXPECT_EQ(call("selectAudioInput", {{"deviceId", "x"}}).error.code, "selectAudioInputFailed");
  EXPECT_EQ(call("selectAudioOutput", {{"deviceId", "x"}}).error.code, "selectAudioOutputFailed");
  avfoundation::testing::resetCaptureDevices();
}

TEST_F(LocalMediaTest, UnknownOrMistypedIdsAnswerWithoutChangingAnything) {
  auto media = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}, {"video", true}}}});
  const std::string stream = *media.find("streamId")->asString();
  const std::string audio = *media.find("audioTracks")->asList()->at(0).find("id")->asString();
  for (Value bad : {Value(), Value(7), Value(ValueList{stream}), Value("nobody")}) {
    EXPECT_EQ(call("mediaStreamAddTrack", {{"streamId", bad}, {"trackId", audio}}).error,
              code("mediaStreamAddTrack: Stream is nil"));
    EXPECT_EQ(call("mediaStreamRemoveTrack", {{"streamId", bad}, {"trackId", audio}}).error,
              code("mediaStreamRemoveTrack: Stream is nil"));
    EXPECT_EQ(call("mediaStreamRemoveTrack", {{"streamId", stream}, {"trackId", bad}}).error,
              code("mediaStreamRemoveTrack: Track is nil"));
    EXPECT_EQ(ok("mediaStreamGetTracks", {{"streamId", bad}}), Value());
    for (const char* method : {"streamDispose", "trackDispose", "mediaStreamTrackSetEnable",
                               "setVolume", "setMicrophoneMute"}) {
      EXPECT_EQ(ok(method, {{"streamId", bad}, {"trackId", bad}, {"peerConnectionId", bad}}),
                Value())
          << method;
    }
  }
  // Arguments that are not a map at all.
  EXPECT_TRUE(dart.invokeMethod(kMethodChannel, "trackDispose", Value(3)).isSuccess());
  EXPECT_EQ(dart.invokeMethod(kMethodChannel, "mediaStreamAddTrack", Value("x")).error.code,
            "mediaStreamAddTrack: Stream is nil");
  // Volume on a video track, mute on a video track: nothing happens.
  const std::string video = *media.find("videoTracks")->asList()->at(0).find("id")->asString();
  ok("setVolume", {{"trackId", video}, {"volume", 2.0}});
  ok("setMicrophoneMute", {{"trackId", video}, {"mute", true}});
  EXPECT_TRUE(plugin->localMedia().track(video)->track()->isEnabled());

  auto tracks = ok("mediaStreamGetTracks", {{"streamId", stream}});
  EXPECT_EQ(tracks.find("audioTracks")->asList()->size(), 1u);
  EXPECT_EQ(tracks.find("videoTracks")->asList()->size(), 1u);
  EXPECT_EQ(plugin->localMedia().tracks().size(), 2u);
  EXPECT_EQ(plugin->localMedia().streams().size(), 1u);
}

TEST_F(LocalMediaTest, AStreamOfSeveralCamerasAnswersOnceAfterTheLastStop) {
  auto [stream, first] = camera();
  auto [second_stream, second] = camera({{"facingMode", "environment"}});
  auto [third_stream, third] = camera();
  ok("mediaStreamAddTrack", {{"streamId", stream}, {"trackId", second}});
  ok("mediaStreamAddTrack", {{"streamId", stream}, {"trackId", third}});

  // The replaced capturers stop on their own queues: let them finish before holding stops.
  for (const auto& capturer : webrtc::testing::liveCameraCapturers()) {
    webrtc::testing::cameraCaptureState(*capturer);
  }
  dart.drain();
  webrtc::testing::holdCameraStops(true);
  auto pending =
      dart.invokeMethodAsync(kMethodChannel, "streamDispose", ValueMap{{"streamId", stream}});
  dart.drain();
  // The two replaced capturers are gone and answer at once; the live one is held.
  EXPECT_FALSE(pending.ready());
  EXPECT_EQ(plugin->localMedia().captureCount(), 0u);
  EXPECT_EQ(webrtc::testing::releaseHeldCameraStops(), 1u);
  ASSERT_TRUE(pending.wait().isSuccess());
  EXPECT_EQ(plugin->videoCapturer(), nullptr);
  for (const auto& id : {first, second, third})
    EXPECT_FALSE(plugin->localMedia().tracks().contains(id));
  // Disposing again, or disposing a track whose stop already ran, answers at once.
  ok("streamDispose", {{"streamId", stream}});
  ok("trackDispose", {{"trackId", second}});
}

struct Stamp : VideoFrameProcessor {
  explicit Stamp(int64_t step) : step(step) {}
  std::shared_ptr<RTCVideoFrame> onFrame(const std::shared_ptr<RTCVideoFrame>& frame) override {
    return std::make_shared<RTCVideoFrame>(frame->buffer(), frame->rotation(),
                                           frame->timeStampNs() * 10 + step);
  }
  int64_t step;
};

struct LastFrame : RTCVideoRenderer {
  void setSize(CGSize) override {}
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override { last = frame; }
  std::shared_ptr<RTCVideoFrame> last;
};

TEST_F(LocalMediaTest, VideoProcessorsRunInOrderAndRemovingOneTakesAllItsEntries) {
  auto [stream, track_id] = camera();
  auto wrapper = std::dynamic_pointer_cast<LocalVideoTrack>(plugin->localMedia().track(track_id));
  ASSERT_NE(wrapper, nullptr);
  auto shown = std::make_shared<LastFrame>();
  wrapper->addRenderer(shown);
  auto one = std::make_shared<Stamp>(1);
  auto two = std::make_shared<Stamp>(2);
  wrapper->addProcessing(one);
  wrapper->addProcessing(two);
  wrapper->addProcessing(one);
  const auto capture = [&] {
    webrtc::testing::deliverCameraFrame(*plugin->videoCapturer(), frame(4, 4));
    return shown->last ? shown->last->timeStampNs() : -1;
  };
  EXPECT_EQ(capture(), 121);
  wrapper->removeProcessing(one);
  EXPECT_EQ(capture(), 2);
  wrapper->removeProcessing(one);
  wrapper->removeProcessing(two);
  EXPECT_EQ(capture(), 0);

  // Listing the stream replaces the wrapper with one that has no processing link.
  ok("mediaStreamGetTracks", {{"streamId", stream}});
  auto* listed = dynamic_cast<LocalVideoTrack*>(plugin->localMedia().track(track_id).get());
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed->processing(), nullptr);
  listed->addProcessing(one);
  EXPECT_EQ(capture(), 0);
  wrapper->removeRenderer(shown);
}

TEST_F(LocalMediaTest, ACameraTrackKeepsItsPipelineUntilDisposed) {
  auto [stream, track_id] = camera();
  auto capturer = plugin->videoCapturer();
  // Listing the stream replaces the wrapper; the camera must still feed the track.
  ok("mediaStreamGetTracks", {{"streamId", stream}});
  auto video =
      std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(track_id)->track());
  auto shown = std::make_shared<LastFrame>();
  video->addRenderer(shown);
  webrtc::testing::deliverCameraFrame(*capturer, frame(4, 4));
  EXPECT_NE(shown->last, nullptr);

  // Disposed, the track's pipeline goes with it.
  ok("trackDispose", {{"trackId", track_id}});
  shown->last.reset();
  webrtc::testing::deliverCameraFrame(*capturer, frame(4, 4));
  EXPECT_EQ(shown->last, nullptr);
  video->removeRenderer(shown);
}

struct Recorder : RTCAudioCustomProcessingDelegate {
  Recorder(std::vector<std::string>& log, std::string name, float add)
      : log(log), name(std::move(name)), add(add) {}
  void audioProcessingInitializeWithSampleRate(size_t rate, size_t channels) override {
    log.push_back(name + " init " + std::to_string(rate) + "/" + std::to_string(channels));
  }
  void audioProcessingProcess(RTCAudioBuffer& buffer) override {
    log.push_back(name + " sees " + std::to_string(int(buffer.rawBufferForChannel(0)[0])));
    buffer.rawBufferForChannel(0)[0] += add;
  }
  void audioProcessingRelease() override { log.push_back(name + " release"); }
  std::vector<std::string>& log;
  std::string name;
  float add;
};

struct Listener : AudioRenderer {
  Listener(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
  void renderPCMBuffer(const std::shared_ptr<webrtc::AVAudioPCMBuffer>& buffer) override {
    log.push_back(name + " hears " + std::to_string(buffer->int16ChannelData(0)[0]));
    buffers.push_back(buffer);
  }
  std::vector<std::string>& log;
  std::string name;
  std::vector<std::shared_ptr<webrtc::AVAudioPCMBuffer>> buffers;
};

TEST_F(LocalMediaTest, AudioFansOutToEveryProcessorThenEveryRendererOfItsStage) {
  using webrtc::testing::AudioProcessingStage;
  auto manager = AudioManager::sharedInstance();
  auto& module = *manager->audioProcessingModule();
  std::vector<std::string> log;
  auto first = std::make_shared<Recorder>(log, "first", 10);
  auto second = std::make_shared<Recorder>(log, "second", 100);
  auto local = std::make_shared<Listener>(log, "local");
  auto other = std::make_shared<Listener>(log, "other");
  auto remote = std::make_shared<Listener>(log, "remote");
  auto media = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}}}});
  auto* track = dynamic_cast<LocalAudioTrack*>(
      plugin->localMedia()
          .track(*media.find("audioTracks")->asList()->at(0).find("id")->asString())
          .get());
  ASSERT_NE(track, nullptr);
  track->addProcessing(first);
  track->addProcessing(second);
  track->addRenderer(local);
  track->addRenderer(other);
  manager->addRemoteAudioSink(remote);

  webrtc::testing::initializeAudioProcessing(module, AudioProcessingStage::capturePost, 16000, 1);
  RTCAudioBuffer buffer(1, 160);
  buffer.rawBufferForChannel(0)[0] = 1;
  webrtc::testing::processAudio(module, AudioProcessingStage::capturePost, buffer);
  webrtc::testing::releaseAudioProcessing(module, AudioProcessingStage::capturePost);
  EXPECT_EQ(log, (std::vector<std::string>{"first init 16000/1", "second init 16000/1",
                                           "first sees 1", "second sees 11", "local hears 111",
                                           "other hears 111", "first release",
                                           "second release"}));
  // Each renderer gets its own copy.
  ASSERT_EQ(local->buffers.size(), 1u);
  EXPECT_NE(local->buffers[0], other->buffers[0]);
  EXPECT_EQ(local->buffers[0]->format().sampleRate, 16000.0);

  // Received audio reaches only the remote sink; nothing is processed there.
  log.clear();
  webrtc::testing::processAudio(module, AudioProcessingStage::renderPre, buffer);
  EXPECT_EQ(log, std::vector<std::string>{"remote hears 111"});

  // Removing what was never added changes nothing; removing the rest empties the stage.
  log.clear();
  track->removeProcessing(std::make_shared<Recorder>(log, "stranger", 0));
  track->removeProcessing(first);
  track->removeProcessing(second);
  track->removeRenderer(local);
  manager->removeLocalAudioRenderer(other);
  manager->removeRemoteAudioSink(remote);
  webrtc::testing::processAudio(module, AudioProcessingStage::capturePost, buffer);
  webrtc::testing::processAudio(module, AudioProcessingStage::renderPre, buffer);
  EXPECT_TRUE(log.empty());
}

TEST(AudioProcessingAdapterTest, PcmConversionTruncatesSaturatesAndZeroesNaN) {
  RTCAudioBuffer buffer(2, 480);
  const float samples[] = {1234.9f,  -0.7f,     32767.9f, 40000.0f,
                           -32768.9f, -1.0e9f,  std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), std::nanf("")};
  const int16_t expected[] = {1234, 0, 32767, 32767, -32768, -32768, 32767, -32768, 0};
  for (size_t i = 0; i < std::size(samples); ++i) buffer.rawBufferForChannel(1)[i] = samples[i];
  auto pcm = AudioProcessingAdapter::toPCMBuffer(buffer);
  ASSERT_NE(pcm, nullptr);
  EXPECT_EQ(pcm->format().commonFormat, webrtc::AVAudioPCMFormatInt16);
  EXPECT_FALSE(pcm->format().interleaved);
  EXPECT_EQ(pcm->format().sampleRate, 48000.0);
  EXPECT_EQ(pcm->format().channelCount, 2u);
  EXPECT_EQ(pcm->frameLength(), 480u);
  for (size_t i = 0; i < std::size(samples); ++i) {
    EXPECT_EQ(pcm->int16ChannelData(1)[i], expected[i]) << samples[i];
    EXPECT_EQ(pcm->int16ChannelData(0)[i], 0);
  }
  // Buffers no PCM buffer can hold: none is made.
  EXPECT_EQ(AudioProcessingAdapter::toPCMBuffer(RTCAudioBuffer(0, 480)), nullptr);
  EXPECT_EQ(AudioProcessingAdapter::toPCMBuffer(RTCAudioBuffer(1, 0)), nullptr);
}

TEST_F(LocalMediaTest, AudioRoutingSelectsByTheModulesOwnIds) {
  auto module = plugin->peerConnectionFactory()->audioDeviceModule();
  webrtc::testing::setAudioDevices(*module, {{"shared", "Headset mic"}, {"mic", "Mic"}},
                                   {{"spk", "Speaker"}, {"shared", "Headset"}});
  auto sources = *ok("getSources").find("sources")->asList();
  ASSERT_EQ(sources.size(), 6u);
  EXPECT_EQ(sources[1], Value(ValueMap{{"facing", "back"},
                                       {"deviceId", "B"},
                                       {"label", "Camera B"},
                                       {"kind", "videoinput"}}));
  EXPECT_EQ(sources[5], Value(ValueMap{{"deviceId", "shared"},
                                       {"label", "Headset"},
                                       {"kind", "audiooutput"}}));
  ok("selectAudioOutput", {{"deviceId", "shared"}});
  EXPECT_EQ(module->outputDevice()->name, "Headset");
  ok("selectAudioInput", {{"deviceId", "mic"}});
  // Failures leave the current devices as they were; camera ids are not audio ids.
  EXPECT_EQ(call("selectAudioInput", {{"deviceId", "F"}}).error,
            (FlutterError{"selectAudioInputFailed", "Error: deviceId not found!", nullptr}));
  EXPECT_EQ(call("selectAudioOutput", {}).error.code, "selectAudioOutputFailed");
  EXPECT_EQ(module->inputDevice()->deviceId, "mic");
  EXPECT_EQ(module->outputDevice()->deviceId, "shared");
}

}  // namespace
}  // namespace webrtc_host::testing
