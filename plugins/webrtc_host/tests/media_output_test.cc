// Texture renderers, platform views, frame capture, audio processing and device lists.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/webrtc/testing/audio_device_controls.h"
#include "platform/webrtc/testing/audio_processing_controls.h"
#include "plugins/webrtc_host/host_rtc_frame_capturer.h"
#include "plugins/webrtc_host/host_rtc_video_platform_view.h"
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(LocalMediaTest, TextureRendererKeepsOnePendingFrameAndReportsSizeRotationFirstFrame) {
  auto [stream, track_id] = camera();
  const int64_t id = *ok("createVideoRenderer").find("textureId")->asInteger();
  const int64_t other = *ok("createVideoRenderer").find("textureId")->asInteger();
  EXPECT_NE(id, other);
  const std::string channel = "WebRTCHost/Texture" + std::to_string(id);
  EXPECT_EQ(call("videoRendererSetSrcObject", {{"textureId", 99}}).error.code,
            "videoRendererSetSrcObject: render is nil");
  ok("videoRendererSetSrcObject",
     {{"textureId", id}, {"streamId", stream}, {"ownerTag", "local"}, {"trackId", track_id}});
  auto renderer = plugin->renderers().find(id);
  auto track = renderer->videoTrack();
  ASSERT_NE(track, nullptr);

  // Nobody listens yet: no first-frame event. The track sizes the texture upright.
  captureFrame(frame(640, 480, RTCVideoRotation_90));
  dart.drain();
  dart.listen(channel);
  captureFrame(frame(640, 480, RTCVideoRotation_90));
  ASSERT_TRUE(waitForEvent(channel, "didFirstFrameRendered"));
  // Only the first frame was converted; the engine takes it once.
  EXPECT_EQ(dart.engine().textures().frameAvailableCount(id), 1);
  auto image = dart.engine().textures().copyPixelBuffer(id);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 480u);
  EXPECT_EQ(image->height(), 640u);
  EXPECT_EQ(dart.engine().textures().copyPixelBuffer(id), nullptr);
  captureFrame(frame(320, 240));
  // The 90-degree size and rotation were announced while nobody listened.
  ASSERT_TRUE(waitForEvent(channel, "didTextureChangeRotation", 1));
  dart.drain();
  EXPECT_EQ(eventsNamed(channel, "didTextureChangeVideoSize").size(), 1u);
  EXPECT_EQ(
      eventsNamed(channel, "didTextureChangeVideoSize").back(),
      Value(ValueMap{
          {"event", "didTextureChangeVideoSize"}, {"id", id}, {"width", 320}, {"height", 240}}));

  ok("videoRendererDispose", {{"textureId", id}});
  ok("videoRendererDispose", {{"textureId", id}});
  captureFrame(frame(320, 240));
  EXPECT_FALSE(dart.engine().textures().isRegistered(id));
}

TEST_F(LocalMediaTest, PlatformViewTurnsItsLayerAndShowsFrames) {
  EXPECT_EQ(call("videoPlatformViewRendererSetSrcObject", {{"viewId", 7}}).error.code,
            "videoRendererSetSrcObject: render is nil");
  auto view = std::dynamic_pointer_cast<HostRTCVideoPlatformView>(
      plugin->platformViewFactory()->createWithViewIdentifier(7, Value()));
  ASSERT_NE(view, nullptr);
  auto [stream, track_id] = camera();
  ok("videoPlatformViewRendererSetSrcObject",
     {{"viewId", 7}, {"streamId", stream}, {"ownerTag", "local"}});
  dart.listen("WebRTCHost/PlatformViewId7");
  auto track = plugin->platformViewFactory()->controllerForViewId(7)->videoTrack();
  track->deliverFrame(frame(0, 0));
  track->deliverFrame(frame(64, 32, RTCVideoRotation_180));
  ASSERT_TRUE(
      dart.runUntil([&] { return view->videoLayer()->transform() != CATransform3DIdentity; }));
  EXPECT_EQ(view->videoLayer()->transform(), HostRTCVideoPlatformView::fromFrameRotation(180));
  ASSERT_TRUE(waitForEvent("WebRTCHost/PlatformViewId7", "didFirstFrameRendered"));
  EXPECT_EQ(eventsNamed("WebRTCHost/PlatformViewId7", "didPlatformViewChangeRotation").size(), 1u);
  track->deliverFrame(frame(64, 32));
  ASSERT_TRUE(
      dart.runUntil([&] { return view->videoLayer()->transform() == CATransform3DIdentity; }));
  EXPECT_EQ(view->videoLayer()->sampleBufferRenderer()->enqueuedCount(), 2u);
  ok("videoPlatformViewRendererDispose", {{"viewId", 7}});
  ok("videoPlatformViewRendererDispose", {{"viewId", 7}});
}

TEST_F(LocalMediaTest, CaptureFrameWritesUprightJpegOrPngIntoNewFolders) {
  auto [stream, track_id] = camera();
  const auto folder = std::filesystem::temp_directory_path() / ("capture-" + track_id);
  const auto jpg = folder / "new" / "a.jpg";
  const auto png = folder / "b.JPG";
  auto first = dart.invokeMethodAsync(kMethodChannel, "captureFrame",
                                      ValueMap{{"trackId", track_id}, {"path", jpg.string()}});
  auto second = dart.invokeMethodAsync(kMethodChannel, "captureFrame",
                                       ValueMap{{"trackId", track_id}, {"path", png.string()}});
  dart.drain();
  plugin->localMedia().track(track_id)->track();
  std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(track_id)->track())
      ->deliverFrame(frame(64, 48, RTCVideoRotation_90));
  EXPECT_TRUE(first.wait().isSuccess());
  EXPECT_TRUE(second.wait().isSuccess());
  const auto jpeg_bytes = fileBytes(jpg);
  ASSERT_GE(jpeg_bytes.size(), 3u);
  EXPECT_EQ(jpeg_bytes[0], 0xFF);
  EXPECT_EQ(jpeg_bytes[1], 0xD8);
  const auto png_bytes = fileBytes(png);
  ASSERT_GE(png_bytes.size(), 24u);
  EXPECT_EQ(png_bytes[1], 'P');
  // Width and height of the PNG header: 48 x 64, turned upright.
  EXPECT_EQ(png_bytes[19], 48);
  EXPECT_EQ(png_bytes[23], 64);

  EXPECT_EQ(call("captureFrame", {{"trackId", "x"}, {"path", "/tmp/x.png"}}).error.code,
            "Track is nil");
  auto audio = ok("getUserMedia", {{"constraints", ValueMap{{"audio", true}}}});
  EXPECT_EQ(call("captureFrame",
                 {{"trackId", *audio.find("audioTracks")->asList()->at(0).find("id")->asString()},
                  {"path", "/tmp/x.png"}})
                .error.code,
            "Track is class of RTCAudioTrack");
  auto failing =
      dart.invokeMethodAsync(kMethodChannel, "captureFrame",
                             ValueMap{{"trackId", track_id}, {"path", "/proc/no/such/place.png"}});
  dart.drain();
  std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(track_id)->track())
      ->deliverFrame(frame(8, 8));
  EXPECT_EQ(failing.wait().error,
            (FlutterError{"CaptureFrameFailed", "Failed to write image data to file", nullptr}));
  std::filesystem::remove_all(folder);
}

TEST_F(LocalMediaTest, CaptureFrameWritesOnlyRegularFilesAtAbsolutePaths) {
  auto [stream, track_id] = camera();
  auto video =
      std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(track_id)->track());
  const auto capture = [&](const std::string& path) {
    auto pending = dart.invokeMethodAsync(kMethodChannel, "captureFrame",
                                          ValueMap{{"trackId", track_id}, {"path", path}});
    dart.drain();
    video->deliverFrame(frame(8, 8));
    return pending.wait().error;
  };
  const auto refused = [](const char* message) {
    return FlutterError{"CaptureFrameFailed", message, nullptr};
  };

  // A relative path would land in the host's working directory.
  const std::string relative = "capture-" + track_id + ".png";
  const auto relative_error = capture(relative);
  const bool written = std::filesystem::exists(relative);
  std::filesystem::remove(relative);
  EXPECT_FALSE(written);
  EXPECT_EQ(relative_error, refused("The path must be absolute"));

  const auto folder = std::filesystem::temp_directory_path() / ("capture-" + track_id);
  std::filesystem::create_directories(folder);
  const auto shortened = folder / "a.png";
  EXPECT_EQ(capture(shortened.string() + std::string(1, '\0') + ".jpg"),
            refused("The path must not hold a NUL character"));
  EXPECT_FALSE(std::filesystem::exists(shortened));

  // Only a regular file is written: not a device, a directory or a FIFO, read or not.
  const auto not_regular = refused("The path does not name a regular file");
  ASSERT_EQ(capture("/dev/null"), not_regular);
  EXPECT_EQ(capture(folder.string()), not_regular);
  const auto fifo = folder / "fifo.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  EXPECT_EQ(capture(fifo.string()), not_regular);
  close(reader);
  EXPECT_EQ(capture(fifo.string()), not_regular);
  std::filesystem::remove_all(folder);
}

TEST_F(LocalMediaTest, CaptureOfADisposedTrackAnswersAndLetsGoOfIt) {
  const FlutterError disposed{"CaptureFrameFailed", "The track was disposed before a frame arrived",
                              nullptr};
  const auto path = (std::filesystem::temp_directory_path() / "never-written.png").string();
  const auto capture = [&](const std::string& track, ValueMap extra = {}) {
    extra.set("trackId", track);
    extra.set("path", path);
    auto pending = dart.invokeMethodAsync(kMethodChannel, "captureFrame", std::move(extra));
    dart.drain();
    EXPECT_FALSE(pending.ready());
    return pending;
  };
  const auto watched = [&](const std::string& track) {
    return std::weak_ptr<RTCMediaStreamTrack>(plugin->localMedia().track(track)->track());
  };

  // Disposed on its own, with its stream, or with the connection that received it.
  auto [stream, track] = camera();
  auto by_track = capture(track);
  auto track_object = watched(track);
  ok("trackDispose", {{"trackId", track}});
  EXPECT_EQ(by_track.wait().error, disposed);

  auto [other_stream, other_track] = camera();
  auto by_stream = capture(other_track);
  ok("streamDispose", {{"streamId", other_stream}});
  EXPECT_EQ(by_stream.wait().error, disposed);

  const std::string peer = createPeerConnection();
  auto transceiver = ok("addTransceiver", {{"peerConnectionId", peer}, {"mediaType", "video"}});
  const Value* received = transceiver.find("receiver")->find("track")->find("id");
  ASSERT_NE(received, nullptr);
  auto by_connection = capture(*received->asString(), {{"peerConnectionId", peer}});
  ok("peerConnectionDispose", {{"peerConnectionId", peer}});
  EXPECT_EQ(by_connection.wait().error, disposed);

  EXPECT_TRUE(plugin->frameCaptures().empty());
  ok("streamDispose", {{"streamId", stream}});
  dart.drain();
  EXPECT_TRUE(track_object.expired());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LocalMediaTest, ACaptureThatGetsNoFrameInTimeAnswersAndLetsGoOfItsTrack) {
  auto [stream, track_id] = camera();
  auto video =
      std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(track_id)->track());
  std::optional<FlutterMethodResponse> answer;
  bool finished = false;
  auto capturer = HostRTCFrameCapturer::initWithTrack(
      video, (std::filesystem::temp_directory_path() / "no-frame.png").string(),
      FlutterResult([&](FlutterMethodResponse response) { answer = std::move(response); }),
      [&](HostRTCFrameCapturer&) { finished = true; },
      dispatch_queue_create("capture", DISPATCH_QUEUE_SERIAL), std::chrono::milliseconds(50));
  ASSERT_TRUE(dart.runUntil([&] { return finished; }));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(std::get<FlutterError>(*answer),
            (FlutterError{"CaptureFrameFailed", "No frame arrived in time", nullptr}));
  // A frame after the answer writes nothing and answers nothing again.
  video->deliverFrame(frame(8, 8));
  dart.drain();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / "no-frame.png"));
  ok("streamDispose", {{"streamId", stream}});
}

struct Doubler : RTCAudioCustomProcessingDelegate {
  void audioProcessingInitializeWithSampleRate(size_t rate, size_t) override { sample_rate = rate; }
  void audioProcessingProcess(RTCAudioBuffer& buffer) override {
    for (size_t c = 0; c < buffer.channels(); ++c) {
      for (size_t i = 0; i < buffer.frames(); ++i) buffer.rawBufferForChannel(c)[i] *= 2;
    }
  }
  void audioProcessingRelease() override {}
  size_t sample_rate = 0;
};

struct Collector : AudioRenderer {
  void renderPCMBuffer(const std::shared_ptr<webrtc::AVAudioPCMBuffer>& buffer) override {
    buffers.push_back(buffer);
  }
  std::vector<std::shared_ptr<webrtc::AVAudioPCMBuffer>> buffers;
};

TEST_F(LocalMediaTest, AudioProcessingFansOutAndConvertsToSaturatedPcm) {
  auto manager = AudioManager::sharedInstance();
  auto doubler = std::make_shared<Doubler>();
  auto collector = std::make_shared<Collector>();
  manager->capturePostProcessingAdapter()->addProcessing(doubler);
  manager->addLocalAudioRenderer(collector);
  const auto stage = webrtc::testing::AudioProcessingStage::capturePost;
  webrtc::testing::initializeAudioProcessing(*manager->audioProcessingModule(), stage, 48000, 2);
  EXPECT_EQ(doubler->sample_rate, 48000u);

  RTCAudioBuffer buffer(2, 480);
  buffer.rawBufferForChannel(0)[0] = 617.45f;
  buffer.rawBufferForChannel(0)[1] = -0.35f;
  buffer.rawBufferForChannel(1)[0] = 20000.0f;
  buffer.rawBufferForChannel(1)[1] = std::nanf("");
  webrtc::testing::processAudio(*manager->audioProcessingModule(), stage, buffer);
  ASSERT_EQ(collector->buffers.size(), 1u);
  const auto& pcm = *collector->buffers[0];
  EXPECT_EQ(pcm.format().sampleRate, 48000.0);
  EXPECT_EQ(pcm.format().channelCount, 2u);
  EXPECT_EQ(pcm.frameLength(), 480u);
  EXPECT_EQ(pcm.int16ChannelData(0)[0], 1234);
  EXPECT_EQ(pcm.int16ChannelData(0)[1], 0);
  EXPECT_EQ(pcm.int16ChannelData(1)[0], 32767);
  EXPECT_EQ(pcm.int16ChannelData(1)[1], 0);

  manager->capturePostProcessingAdapter()->removeProcessing(doubler);
  manager->removeLocalAudioRenderer(collector);
  webrtc::testing::processAudio(*manager->audioProcessingModule(), stage, buffer);
  EXPECT_EQ(collector->buffers.size(), 1u);
}

TEST_F(LocalMediaTest, SourcesListCamerasThenTheModulesDevicesAndSelectByModuleId) {
  auto module = plugin->peerConnectionFactory()->audioDeviceModule();
  webrtc::testing::setAudioDevices(*module, {{"mic", "Mic"}}, {{"spk", "Speaker"}});
  auto sources = *ok("getSources").find("sources")->asList();
  ASSERT_EQ(sources.size(), 4u);
  EXPECT_EQ(
      sources[0],
      Value(ValueMap{
          {"facing", "front"}, {"deviceId", "F"}, {"label", "Camera F"}, {"kind", "videoinput"}}));
  EXPECT_EQ(sources[2],
            Value(ValueMap{{"deviceId", "mic"}, {"label", "Mic"}, {"kind", "audioinput"}}));
  ok("selectAudioInput", {{"deviceId", "mic"}});
  EXPECT_EQ(module->inputDevice()->deviceId, "mic");
  EXPECT_EQ(call("selectAudioOutput", {{"deviceId", "mic"}}).error,
            (FlutterError{"selectAudioOutputFailed", "Error: deviceId not found!", nullptr}));
  EXPECT_EQ(call("selectAudioInput", {{"deviceId", 3}}).error.code, "selectAudioInputFailed");
}

}  // namespace
}  // namespace webrtc_host::testing
