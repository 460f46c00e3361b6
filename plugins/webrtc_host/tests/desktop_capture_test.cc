// Desktop sources, thumbnails, their events, and display media.
#include "plugins/webrtc_host/desktop_thumbnail.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

using webrtc::testing::DesktopSourceSpec;

class DesktopCaptureTest : public WebRTCHostTest {
 protected:
  std::vector<std::string> sourceIds(const Value& reply) {
    std::vector<std::string> ids;
    for (const auto& source : *reply.find("sources")->asList()) {
      ids.push_back(*source.find("id")->asString());
    }
    return ids;
  }
};

TEST_F(DesktopCaptureTest, WindowsAlwaysComeBeforeScreens) {
  for (const auto& types : {ValueList{"window", "screen"}, ValueList{"screen", "window"}}) {
    auto reply = ok("getDesktopSources", {{"types", types}});
    EXPECT_EQ(sourceIds(reply), (std::vector<std::string>{"101", "102", "1"}));
  }
  auto screens = ok("getDesktopSources", {{"types", ValueList{"screen"}}});
  EXPECT_EQ(
      screens.find("sources")->asList()->at(0),
      Value(ValueMap{{"id", "1"},
                     {"name", "Screen 1"},
                     {"thumbnailSize", ValueMap{{"width", int32_t{0}}, {"height", int32_t{0}}}},
                     {"type", "screen"}}));
}

TEST_F(DesktopCaptureTest, TypesAreChecked) {
  EXPECT_EQ(call("getDesktopSources").error, failed("ERROR", "types is required"));
  EXPECT_EQ(call("getDesktopSources", {{"types", ValueList{}}}).error,
            failed("ERROR", "At least one type is required"));
  EXPECT_EQ(call("getDesktopSources", {{"types", ValueList{"screen", "tab"}}}).error,
            failed("ERROR", "Invalid type"));
  EXPECT_EQ(call("updateDesktopSources", {{"types", ValueList{int32_t{1}}}}).error,
            failed("ERROR", "Invalid type"));
  EXPECT_EQ(ok("updateDesktopSources", {{"types", ValueList{"window"}}}),
            Value(ValueMap{{"result", true}}));
}

TEST_F(DesktopCaptureTest, ThumbnailsOfTheLastList) {
  webrtc::testing::setDesktopSources({{RTCDesktopSourceTypeWindow, "w1", "Shown",
                                       webrtc::testing::solidImage(640, 360, 255, 0, 0)},
                                      {RTCDesktopSourceTypeWindow, "w2", "Hidden", nullptr}});
  ok("getDesktopSources", {{"types", ValueList{"window"}}});
  EXPECT_EQ(ok("getDesktopSourceThumbnail", {{"sourceId", "nowhere"}}),
            Value(ValueMap{{"error", "No source found"}}));
  auto bytes = ok("getDesktopSourceThumbnail", {{"sourceId", "w1"}});
  const auto* tiff = bytes.getIf<std::vector<uint8_t>>();
  ASSERT_NE(tiff, nullptr);
  ASSERT_GT(tiff->size(), 320u * 180u * 4u);
  EXPECT_EQ(std::vector<uint8_t>(tiff->begin(), tiff->begin() + 4),
            (std::vector<uint8_t>{'I', 'I', 42, 0}));
  EXPECT_EQ(ok("getDesktopSourceThumbnail", {{"sourceId", "w2"}}),
            Value(ValueMap{{"error", "No thumbnail found"}}));
}

TEST_F(DesktopCaptureTest, ListChangesBecomeEvents) {
  ok("getDesktopSources", {{"types", ValueList{"window", "screen"}}});
  ASSERT_TRUE(dart.listen(kEventChannel).isSuccess());
  webrtc::testing::addDesktopSource({RTCDesktopSourceTypeWindow, "103", "New", nullptr});
  webrtc::testing::removeDesktopSource("102");
  webrtc::testing::renameDesktopSource("101", "Renamed");
  webrtc::testing::changeDesktopImage("1", webrtc::testing::solidImage(100, 100, 1, 2, 3));
  webrtc::testing::changeDesktopImage("101", nullptr);
  webrtc::testing::refreshDesktopMediaLists();
  ASSERT_TRUE(waitForEvent(kEventChannel, "desktopSourceThumbnailChanged", 2));

  auto added = eventsNamed(kEventChannel, "desktopSourceAdded").at(0);
  EXPECT_EQ(*added.find("id"), Value("103"));
  EXPECT_EQ(*added.find("type"), Value("window"));
  EXPECT_EQ(*added.find("thumbnail"), Value(std::vector<uint8_t>{}));
  EXPECT_EQ(eventsNamed(kEventChannel, "desktopSourceRemoved").at(0),
            Value(ValueMap{{"event", "desktopSourceRemoved"}, {"id", "102"}}));
  EXPECT_EQ(*eventsNamed(kEventChannel, "desktopSourceNameChanged").at(0).find("name"),
            Value("Renamed"));
  for (const auto& changed : eventsNamed(kEventChannel, "desktopSourceThumbnailChanged")) {
    const auto& bytes = changed.find("thumbnail")->get<std::vector<uint8_t>>();
    // A source that shows nothing sends empty bytes rather than failing.
    EXPECT_EQ(bytes.empty(), *changed.find("id") == Value("101"));
  }
}

TEST_F(DesktopCaptureTest, ThumbnailsCoverTheTargetAndCutEvenly) {
  EXPECT_EQ(thumbnailDrawRect({1920, 1080}, kThumbnailSize), CGRectMake(0, 0, 320, 180));
  EXPECT_EQ(thumbnailDrawRect({1000, 1000}, kThumbnailSize), CGRectMake(0, -70, 320, 320));
  EXPECT_EQ(thumbnailDrawRect({100, 400}, kThumbnailSize), CGRectMake(0, -550, 320, 1280));
  EXPECT_EQ(thumbnailDrawRect({320, 180}, kThumbnailSize), CGRectMake(0, 0, 320, 180));

  // Top half red, bottom half blue: the cut keeps both halves, evenly.
  auto image = std::make_shared<webrtc::NSImage>(NSSize{1000, 1000});
  for (size_t row = 0; row < 1000; ++row) {
    for (size_t column = 0; column < 1000; ++column) {
      uint8_t* pixel = image->bitmapData() + row * image->bytesPerRow() + column * 4;
      pixel[0] = row < 500 ? 255 : 0;
      pixel[2] = row < 500 ? 0 : 255;
      pixel[3] = 255;
    }
  }
  auto resized = resizeImage(*image, kThumbnailSize);
  ASSERT_EQ(resized->pixelsWide(), 320u);
  ASSERT_EQ(resized->pixelsHigh(), 180u);
  auto pixel = [&](size_t row) { return resized->bitmapData() + row * resized->bytesPerRow(); };
  // Bilinear scaling may round the edge of a channel by a step or two.
  EXPECT_NEAR(pixel(0)[0], 255, 3);
  EXPECT_NEAR(pixel(179)[2], 255, 3);
  EXPECT_NEAR(pixel(88)[0], 255, 3);
  EXPECT_NEAR(pixel(91)[2], 255, 3);
}

TEST_F(DesktopCaptureTest, DisplayMediaNeedsTheFactoryAndAKnownSource) {
  EXPECT_EQ(call("getDisplayMedia", {{"constraints", ValueMap{{"video", true}}}}).error.code,
            "getDisplayMediaFailed");
  initialize();
  EXPECT_EQ(ok("getDisplayMedia",
               {{"constraints",
                 ValueMap{{"video", ValueMap{{"deviceId", ValueMap{{"exact", "999"}}}}}}}}),
            Value(ValueMap{{"error", "No source found for id: 999"}}));
  EXPECT_EQ(ok("getDisplayMedia", {{"constraints", ValueMap{{"video", false}}}}),
            Value(ValueMap{{"error", "No source found for id: (null)"}}));
}

TEST_F(DesktopCaptureTest, ScreensUseScreenCaptureKitOnRecentSystems) {
  initialize();
  auto reply = ok("getDisplayMedia", {{"constraints", ValueMap{{"video", true}}}});
  EXPECT_EQ(reply.find("audioTracks")->asList()->size(), 0u);
  const auto& track = reply.find("videoTracks")->asList()->at(0);
  EXPECT_EQ(*track.find("kind"), Value("video"));
  EXPECT_EQ(*track.find("remote"), Value(true));
  const std::string track_id = *track.find("id")->asString();
  ASSERT_TRUE(
      dart.runUntil([] { return screencapturekit::testing::runningStreams().size() == 1; }));
  auto stream = screencapturekit::testing::runningStreams()[0];
  EXPECT_EQ(stream->configuration().minimumFrameInterval, CMTimeMake(1, 30));
  EXPECT_EQ(stream->filter().display().displayID, 1u);
  EXPECT_TRUE(webrtc::testing::runningDesktopCapturers().empty());

  // The track's stop handler stops the capture.
  bool stopped = false;
  plugin->localMedia().stopHandler(track_id)(
      [&stopped] { dispatch_async(dispatch_get_main_queue(), [&stopped] { stopped = true; }); });
  ASSERT_TRUE(dart.runUntil([&] { return stopped; }));
  EXPECT_TRUE(screencapturekit::testing::runningStreams().empty());
}

TEST_F(DesktopCaptureTest, OlderSystemsAndWindowsUseTheDesktopCapturer) {
  initialize();
  foundation::testing::setEmulatedOperatingSystemVersion({12, 6, 0});
  ok("getDisplayMedia",
     {{"constraints", ValueMap{{"video", ValueMap{{"mandatory", ValueMap{{"frameRate", 15}}}}}}}});
  auto capturers = webrtc::testing::runningDesktopCapturers();
  ASSERT_EQ(capturers.size(), 1u);
  EXPECT_EQ(capturers[0]->source(), nullptr);
  EXPECT_EQ(capturers[0]->fps(), 15);

  foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  ok("getDesktopSources", {{"types", ValueList{"window"}}});
  auto reply = ok(
      "getDisplayMedia",
      {{"constraints", ValueMap{{"video", ValueMap{{"deviceId", ValueMap{{"exact", "102"}}}}}}}});
  capturers = webrtc::testing::runningDesktopCapturers();
  ASSERT_EQ(capturers.size(), 2u);
  EXPECT_EQ(capturers[1]->source()->sourceId(), "102");
  EXPECT_EQ(capturers[1]->fps(), 30);
  const std::string track_id = *reply.find("videoTracks")->asList()->at(0).find("id")->asString();
  plugin->localMedia().stopHandler(track_id)(nullptr);
  EXPECT_FALSE(capturers[1]->isRunning());
}

TEST_F(DesktopCaptureTest, DisplayMediaShowsTheScreenWithoutAnyoneDrivingIt) {
  webrtc::testing::holdDesktopFrames(false);
  screencapturekit::testing::holdScreenFrames(false);
  initialize();
  const auto firstTextureFrame = [&](const std::string& stream, const std::string& track) {
    const int64_t id = *ok("createVideoRenderer").find("textureId")->asInteger();
    ok("videoRendererSetSrcObject",
       {{"textureId", id}, {"streamId", stream}, {"ownerTag", "local"}, {"trackId", track}});
    CVPixelBufferRef image;
    EXPECT_TRUE(dart.runUntil([&] {
      image = dart.engine().textures().copyPixelBuffer(id);
      return image != nullptr;
    }));
    ok("videoRendererDispose", {{"textureId", id}});
    return image;
  };
  const auto trackOf = [](const Value& reply) {
    return *reply.find("videoTracks")->asList()->at(0).find("id")->asString();
  };

  // ScreenCaptureKit on recent systems, the desktop capturer on older ones and for windows.
  auto [stream, track] = displayMedia();
  auto image = firstTextureFrame(stream, track);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 1920u);
  EXPECT_EQ(image->height(), 1080u);
  EXPECT_EQ(screencapturekit::testing::screenFrameTimerCount(), 1u);
  ok("trackDispose", {{"trackId", track}});
  ASSERT_TRUE(
      dart.runUntil([] { return screencapturekit::testing::screenFrameTimerCount() == 0; }));

  ok("getDesktopSources", {{"types", ValueList{"window"}}});
  auto window = ok(
      "getDisplayMedia",
      {{"constraints", ValueMap{{"video", ValueMap{{"deviceId", ValueMap{{"exact", "101"}}}}}}}});
  image = firstTextureFrame(*window.find("streamId")->asString(), trackOf(window));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 320u);
  foundation::testing::setEmulatedOperatingSystemVersion({12, 6, 0});
  auto screen = ok("getDisplayMedia", {{"constraints", ValueMap{{"video", true}}}});
  image = firstTextureFrame(*screen.find("streamId")->asString(), trackOf(screen));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 384u);
  EXPECT_EQ(webrtc::testing::desktopFrameTimerCount(), 2u);
  ok("streamDispose", {{"streamId", *window.find("streamId")->asString()}});
  ok("streamDispose", {{"streamId", *screen.find("streamId")->asString()}});
  EXPECT_EQ(webrtc::testing::desktopFrameTimerCount(), 0u);
}

}  // namespace
}  // namespace webrtc_host::testing
