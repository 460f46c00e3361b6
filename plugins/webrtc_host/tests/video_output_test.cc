// What shows or saves video: texture renderers turning every rotation upright, platform views
// turning their layer and flushing their renderer, frame captures encoding each rotation.
#include <filesystem>
#include <fstream>
#include <numbers>

#include "platform/avfoundation/testing/av_capture_display_controls.h"
#include "plugins/webrtc_host/host_rtc_video_platform_view.h"
#include "plugins/webrtc_host/i420_pixel_buffer_writer.h"
#include "plugins/webrtc_host/tests/local_media_test.h"

namespace webrtc_host::testing {
namespace {

constexpr uint8_t kBright = 235;
constexpr uint8_t kDark = 16;

// An I420 frame whose left half is bright and right half dark.
std::shared_ptr<RTCVideoFrame> halves(int width, int height, RTCVideoRotation rotation) {
  auto buffer = std::make_shared<RTCI420Buffer>(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      buffer->mutableDataY()[y * buffer->strideY() + x] = x < width / 2 ? kBright : kDark;
    }
  }
  std::fill_n(buffer->mutableDataU(), 2 * buffer->chromaWidth() * buffer->chromaHeight(), 128);
  return std::make_shared<RTCVideoFrame>(buffer, rotation, 0);
}

bool brightAt(const CVPixelBuffer& buffer, size_t x, size_t y) {
  return buffer.baseAddress()[y * buffer.bytesPerRow() + x * 4] > 128;
}

class VideoOutputTest : public LocalMediaTest {
 protected:
  std::shared_ptr<RTCVideoTrack> cameraTrack(const std::string& id) {
    return std::static_pointer_cast<RTCVideoTrack>(plugin->localMedia().track(id)->track());
  }
  int64_t renderer(const std::string& stream, const std::string& track) {
    const int64_t id = *ok("createVideoRenderer").find("textureId")->asInteger();
    ok("videoRendererSetSrcObject",
       {{"textureId", id}, {"streamId", stream}, {"ownerTag", "local"}, {"trackId", track}});
    return id;
  }
};

TEST_F(VideoOutputTest, EveryRotationIsWrittenUprightIntoTheTexture) {
  auto [stream, track_id] = camera();
  const int64_t id = renderer(stream, track_id);
  struct Case {
    RTCVideoRotation rotation;
    size_t width, height;
    // Where the bright left half of the source ends up.
    bool top_left, bottom_left, top_right;
  };
  for (const Case& c : {Case{RTCVideoRotation_0, 8, 4, true, true, false},
                        Case{RTCVideoRotation_90, 4, 8, true, false, true},
                        Case{RTCVideoRotation_180, 8, 4, false, false, true},
                        Case{RTCVideoRotation_270, 4, 8, false, true, false}}) {
    captureFrame(halves(8, 4, c.rotation));
    auto image = dart.engine().textures().copyPixelBuffer(id);
    ASSERT_NE(image, nullptr) << c.rotation;
    ASSERT_EQ(image->width(), c.width) << c.rotation;
    ASSERT_EQ(image->height(), c.height) << c.rotation;
    EXPECT_EQ(brightAt(*image, 0, 0), c.top_left) << c.rotation;
    EXPECT_EQ(brightAt(*image, 0, c.height - 1), c.bottom_left) << c.rotation;
    EXPECT_EQ(brightAt(*image, c.width - 1, 0), c.top_right) << c.rotation;
  }
  // An empty frame leaves no buffer: nothing is shown until frames have a size again.
  captureFrame(halves(0, 0, RTCVideoRotation_0));
  EXPECT_EQ(dart.engine().textures().copyPixelBuffer(id), nullptr);
  captureFrame(halves(64, 32, RTCVideoRotation_90));
  auto image = dart.engine().textures().copyPixelBuffer(id);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 32u);
}

TEST(PixelBufferWriterTest, AnImageLargerThanTheBufferIsCutToIt) {
  CVPixelBufferRef buffer;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &buffer), kCVReturnSuccess);
  auto turned = rotatedI420(*halves(64, 32, RTCVideoRotation_90)->buffer(), 90);
  ASSERT_EQ(turned->width(), 32);
  EXPECT_TRUE(writeI420ToPixelBuffer(*turned, *buffer));
  EXPECT_TRUE(brightAt(*buffer, 0, 0));
}

TEST_F(VideoOutputTest, EventsRestartWithEachTrackAndNotForTheSameOne) {
  auto [stream, first] = camera();
  auto [other_stream, second] = camera({{"facingMode", "environment"}});
  const int64_t id = renderer(stream, first);
  const std::string channel = "WebRTCHost/Texture" + std::to_string(id);
  dart.listen(channel);
  cameraTrack(first)->deliverFrame(frame(8, 4, RTCVideoRotation_270));
  ASSERT_TRUE(waitForEvent(channel, "didFirstFrameRendered"));
  EXPECT_EQ(eventsNamed(channel, "didTextureChangeRotation").back(),
            Value(ValueMap{{"event", "didTextureChangeRotation"}, {"id", id}, {"rotation", 270}}));

  // Attaching the same track again changes nothing.
  ok("videoRendererSetSrcObject",
     {{"textureId", id}, {"streamId", stream}, {"ownerTag", "local"}, {"trackId", first}});
  cameraTrack(first)->deliverFrame(frame(8, 4, RTCVideoRotation_270));
  dart.drain();
  EXPECT_EQ(eventsNamed(channel, "didFirstFrameRendered").size(), 1u);
  EXPECT_EQ(eventsNamed(channel, "didTextureChangeVideoSize").size(), 1u);

  // A new track announces everything again, even the same size and rotation.
  ok("videoRendererSetSrcObject",
     {{"textureId", id}, {"streamId", other_stream}, {"ownerTag", "local"}});
  EXPECT_EQ(plugin->renderers().find(id)->videoTrack(), cameraTrack(second));
  cameraTrack(first)->deliverFrame(frame(8, 4, RTCVideoRotation_270));
  cameraTrack(second)->deliverFrame(frame(8, 4, RTCVideoRotation_270));
  ASSERT_TRUE(waitForEvent(channel, "didFirstFrameRendered", 2));
  EXPECT_EQ(eventsNamed(channel, "didTextureChangeVideoSize").size(), 2u);
  EXPECT_EQ(eventsNamed(channel, "didTextureChangeRotation").size(), 2u);

  // Disposing the track detaches the renderer; a stream only a peer connection could know
  // ("local" falls back to the peer-connection lookup) detaches it too.
  ok("trackDispose", {{"trackId", second}});
  EXPECT_EQ(plugin->renderers().find(id)->videoTrack(), nullptr);
  ok("videoRendererSetSrcObject", {{"textureId", id}, {"streamId", stream}, {"ownerTag", "local"}});
  ok("videoRendererSetSrcObject",
     {{"textureId", id}, {"streamId", "remote-only"}, {"ownerTag", "local"}});
  EXPECT_EQ(plugin->renderers().find(id)->videoTrack(), nullptr);
  EXPECT_EQ(call("videoRendererSetSrcObject", {{"textureId", "1"}}).error.code,
            "videoRendererSetSrcObject: render is nil");
}

TEST_F(VideoOutputTest, PlatformViewsTurnForEveryRotationAndFlushBeforeShowing) {
  auto view = std::dynamic_pointer_cast<HostRTCVideoPlatformView>(
      plugin->platformViewFactory()->createWithViewIdentifier(3, Value()));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isOpaque());
  EXPECT_EQ(view->videoLayer()->videoGravity(), AVLayerVideoGravityResizeAspectFill);
  view->setFrame(CGRect{CGPointZero, CGSize{320, 240}});
  EXPECT_EQ(view->videoLayer()->frame().size.width, 320);

  EXPECT_EQ(HostRTCVideoPlatformView::fromFrameRotation(90),
            CATransform3DMakeRotation(std::numbers::pi / 2, 0, 0, 1));
  EXPECT_EQ(HostRTCVideoPlatformView::fromFrameRotation(270),
            CATransform3DMakeRotation(-std::numbers::pi / 2, 0, 0, 1));
  EXPECT_EQ(HostRTCVideoPlatformView::fromFrameRotation(45), CATransform3DIdentity);

  auto [stream, track_id] = camera();
  ok("videoPlatformViewRendererSetSrcObject",
     {{"viewId", 3}, {"streamId", stream}, {"ownerTag", "local"}});
  auto track = cameraTrack(track_id);
  const auto& renderer = view->videoLayer()->sampleBufferRenderer();
  for (auto rotation : {RTCVideoRotation_90, RTCVideoRotation_270, RTCVideoRotation_180}) {
    track->deliverFrame(frame(8, 4, rotation));
    ASSERT_TRUE(dart.runUntil([&] {
      return view->videoLayer()->transform() == HostRTCVideoPlatformView::fromFrameRotation(rotation);
    })) << rotation;
  }

  // macOS 14: the renderer is flushed, with its image removed, before the next sample.
  avfoundation::testing::interruptDecoding(*view->videoLayer());
  track->deliverFrame(frame(8, 4, RTCVideoRotation_180));
  ASSERT_TRUE(dart.runUntil([&] { return renderer->enqueuedCount() == 4; }));
  EXPECT_EQ(renderer->flushCount(), 1u);
  // Older systems go through the layer, which flushes the same way.
  foundation::testing::setEmulatedOperatingSystemVersion({12, 0, 0});
  avfoundation::testing::interruptDecoding(*view->videoLayer());
  track->deliverFrame(frame(8, 4, RTCVideoRotation_180));
  ASSERT_TRUE(dart.runUntil([&] { return renderer->enqueuedCount() == 5; }));
  EXPECT_EQ(renderer->flushCount(), 2u);

  // Each sample shows at once, with no timing.
  auto shown = renderer->displayedSampleBuffer();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->sampleAttachments().at(kCMSampleAttachmentKey_DisplayImmediately));
  EXPECT_TRUE(CMTIME_IS_INVALID(shown->timing().presentationTimeStamp));
  EXPECT_EQ(shown->imageBuffer()->pixelFormatType(), kCVPixelFormatType_32BGRA);
}

TEST_F(VideoOutputTest, PlatformViewsShowPixelBuffersWithoutCopyingUnlessCropped) {
  auto view = std::dynamic_pointer_cast<HostRTCVideoPlatformView>(
      plugin->platformViewFactory()->createWithViewIdentifier(4, Value()));
  auto [stream, track_id] = camera();
  ok("videoPlatformViewRendererSetSrcObject",
     {{"viewId", 4}, {"streamId", stream}, {"ownerTag", "local"}});
  const std::string channel = "WebRTCHost/PlatformViewId4";
  dart.listen(channel);
  auto track = cameraTrack(track_id);
  const auto& renderer = view->videoLayer()->sampleBufferRenderer();

  CVPixelBufferRef pixels;
  ASSERT_EQ(CVPixelBufferCreate(8, 8, kCVPixelFormatType_420YpCbCr8BiPlanarFullRange, &pixels),
            kCVReturnSuccess);
  track->deliverFrame(std::make_shared<RTCVideoFrame>(std::make_shared<RTCCVPixelBuffer>(pixels),
                                                      RTCVideoRotation_0, 0));
  ASSERT_TRUE(dart.runUntil([&] { return renderer->enqueuedCount() == 1; }));
  EXPECT_EQ(renderer->displayedSampleBuffer()->imageBuffer(), pixels);

  // A cropped frame is scaled into a pooled buffer of the frame's size and format.
  track->deliverFrame(std::make_shared<RTCVideoFrame>(
      std::make_shared<RTCCVPixelBuffer>(pixels, 4, 4, 4, 4, 2, 2), RTCVideoRotation_0, 0));
  ASSERT_TRUE(dart.runUntil([&] { return renderer->enqueuedCount() == 2; }));
  auto cropped = renderer->displayedSampleBuffer()->imageBuffer();
  EXPECT_NE(cropped, pixels);
  EXPECT_EQ(cropped->width(), 4u);
  EXPECT_EQ(cropped->pixelFormatType(), kCVPixelFormatType_420YpCbCr8BiPlanarFullRange);

  // Zero-sized frames are neither announced nor shown.
  track->deliverFrame(frame(0, 0));
  dart.drain();
  EXPECT_EQ(renderer->enqueuedCount(), 2u);
  EXPECT_EQ(eventsNamed(channel, "didPlatformViewChangeVideoSize").size(), 2u);
  EXPECT_EQ(eventsNamed(channel, "didFirstFrameRendered").size(), 1u);

  // Re-attaching announces the first frame, size and rotation again.
  ok("videoPlatformViewRendererSetSrcObject",
     {{"viewId", 4}, {"streamId", "none"}, {"ownerTag", "local"}});
  ok("videoPlatformViewRendererSetSrcObject",
     {{"viewId", 4}, {"streamId", stream}, {"ownerTag", "local"}});
  track->deliverFrame(frame(4, 4));
  ASSERT_TRUE(waitForEvent(channel, "didFirstFrameRendered", 2));
  EXPECT_EQ(eventsNamed(channel, "didPlatformViewChangeVideoSize").size(), 3u);
  EXPECT_EQ(eventsNamed(channel, "didPlatformViewChangeRotation").size(), 2u);
}

struct Image {
  bool jpeg = false;
  uint32_t width = 0;
  uint32_t height = 0;
};

Image readImage(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  Image image;
  if (bytes.size() >= 24 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G') {
    image.width = uint32_t(bytes[16]) << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19];
    image.height = uint32_t(bytes[20]) << 24 | bytes[21] << 16 | bytes[22] << 8 | bytes[23];
  } else if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
    image.jpeg = true;
  }
  return image;
}

TEST_F(VideoOutputTest, CapturedFramesAreEncodedByExactExtensionAndTurnedUpright) {
  auto [stream, track_id] = camera();
  auto track = cameraTrack(track_id);
  const auto folder = std::filesystem::temp_directory_path() / ("frames-" + track_id);
  const auto capture = [&](const std::filesystem::path& path, RTCVideoRotation rotation) {
    auto pending = dart.invokeMethodAsync(
        kMethodChannel, "captureFrame",
        ValueMap{{"trackId", track_id}, {"path", path.string()}, {"peerConnectionId", "local"}});
    dart.drain();
    track->deliverFrame(frame(64, 48, rotation));
    return pending.wait();
  };
  struct Case {
    const char* name;
    RTCVideoRotation rotation;
    bool jpeg;
    uint32_t width;
  };
  for (const Case& c : {Case{"a/b/c/zero.png", RTCVideoRotation_0, false, 64},
                        Case{"half.jpeg", RTCVideoRotation_180, false, 64},
                        Case{"left.JPG", RTCVideoRotation_270, false, 48},
                        Case{"right.jpg", RTCVideoRotation_90, true, 0},
                        Case{"plain", RTCVideoRotation_90, false, 48}}) {
    ASSERT_TRUE(capture(folder / c.name, c.rotation).isSuccess()) << c.name;
    const Image image = readImage(folder / c.name);
    EXPECT_EQ(image.jpeg, c.jpeg) << c.name;
    EXPECT_EQ(image.width, c.width) << c.name;
  }
  // A path that names a folder cannot be written.
  EXPECT_EQ(capture(folder, RTCVideoRotation_0).error,
            (FlutterError{"CaptureFrameFailed", "The path does not name a regular file", nullptr}));
  EXPECT_EQ(call("captureFrame", {{"trackId", track_id}}).error.code, "CaptureFrameFailed");
  EXPECT_EQ(call("captureFrame", {{"trackId", 5}, {"path", "x.png"}}).error.code, "Track is nil");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace webrtc_host::testing
