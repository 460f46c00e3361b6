// The desktop model: media lists that report what changed, thumbnails, desktop capturers, and
// the image drawing and TIFF encoding behind thumbnails.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <tuple>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_desktop_media_list.h"
#include "platform/webrtc/testing/desktop_controls.h"

namespace {

using webrtc::testing::DesktopSourceSpec;

class Changes : public RTCDesktopMediaListDelegate {
 public:
  void didAddDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) override {
    note("added " + source->sourceId());
  }
  void didRemoveDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) override {
    note("removed " + source->sourceId());
  }
  void didChangeDesktopSourceName(const std::shared_ptr<RTCDesktopSource>& source) override {
    note("renamed " + source->sourceId() + " " + source->name());
  }
  void didChangeDesktopSourceThumbnail(const std::shared_ptr<RTCDesktopSource>& source) override {
    note("thumbnail " + source->sourceId());
  }
  std::vector<std::string> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(notes_, {});
  }

 private:
  void note(std::string text) {
    std::lock_guard lock(mutex_);
    notes_.push_back(std::move(text));
  }
  std::mutex mutex_;
  std::vector<std::string> notes_;
};

class DesktopModelTest : public ::testing::Test {
 protected:
  DesktopModelTest() {
    webrtc::testing::resetDesktop();
    webrtc::testing::holdDesktopFrames(true);
  }
  ~DesktopModelTest() override { webrtc::testing::resetDesktop(); }
};

TEST_F(DesktopModelTest, ListsReportDifferencesButNotTheirFirstOrForcedLoad) {
  auto changes = std::make_shared<Changes>();
  auto windows = std::make_shared<RTCDesktopMediaList>(RTCDesktopSourceTypeWindow, changes);
  EXPECT_EQ(windows->UpdateSourceList(false, true), 2);
  EXPECT_TRUE(changes->take().empty());

  webrtc::testing::addDesktopSource({RTCDesktopSourceTypeWindow, "103", "Third", nullptr});
  webrtc::testing::addDesktopSource({RTCDesktopSourceTypeScreen, "2", "Screen 2", nullptr});
  webrtc::testing::removeDesktopSource("101");
  webrtc::testing::renameDesktopSource("102", "Shell");
  EXPECT_EQ(windows->UpdateSourceList(false, false), 2);
  EXPECT_EQ(changes->take(),
            (std::vector<std::string>{"renamed 102 Shell", "added 103", "removed 101"}));

  webrtc::testing::changeDesktopImage("102", webrtc::testing::solidImage(8, 8, 1, 1, 1));
  EXPECT_EQ(windows->UpdateSourceList(false, false), 2);
  EXPECT_TRUE(changes->take().empty());
  webrtc::testing::refreshDesktopMediaLists();
  EXPECT_EQ(changes->take(), std::vector<std::string>{"thumbnail 102"});

  webrtc::testing::removeDesktopSource("103");
  EXPECT_EQ(windows->UpdateSourceList(true, true), 1);
  EXPECT_TRUE(changes->take().empty());
  EXPECT_EQ(windows->getSources()[0]->UpdateThumbnail()->pixelsWide(), 8u);
}

TEST_F(DesktopModelTest, CapturersRunUntilStoppedAndHandFramesOn) {
  struct Frames : RTCVideoCapturerDelegate {
    void capturer(RTCVideoCapturer&, const std::shared_ptr<RTCVideoFrame>& frame) override {
      width = frame->width();
    }
    std::atomic<int> width{0};
  };
  auto frames = std::make_shared<Frames>();
  auto capturer =
      std::make_shared<RTCDesktopCapturer>(std::weak_ptr<RTCDesktopCapturerDelegate>(), frames);
  capturer->startCaptureWithFPS(24);
  ASSERT_EQ(webrtc::testing::runningDesktopCapturers().size(), 1u);
  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(6, 2, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  webrtc::testing::deliverDesktopFrame(*capturer, image, 5);
  EXPECT_EQ(frames->width, 6);
  capturer->stopCapture();
  EXPECT_TRUE(webrtc::testing::runningDesktopCapturers().empty());
  dispatch::testing::drainUntilIdle();
}

TEST_F(DesktopModelTest, RunningCapturersDeliverTheirSourceOnTheirOwnUntilStopped) {
  webrtc::testing::holdDesktopFrames(false);
  struct Frames : RTCVideoCapturerDelegate {
    void capturer(RTCVideoCapturer&, const std::shared_ptr<RTCVideoFrame>& frame) override {
      std::lock_guard lock(mutex);
      sizes.emplace_back(frame->width(), frame->height());
      const auto& pixels =
          std::static_pointer_cast<RTCCVPixelBuffer>(frame->buffer())->pixelBuffer();
      first_pixel = pixels->baseAddress()[0];
    }
    size_t count() {
      std::lock_guard lock(mutex);
      return sizes.size();
    }
    std::mutex mutex;
    std::vector<std::pair<int, int>> sizes;
    uint8_t first_pixel = 0;
  };
  webrtc::testing::changeDesktopImage("101", webrtc::testing::solidImage(6, 4, 1, 2, 3));
  // The default screen, then a window: each shows the model's picture of it, in 32BGRA.
  for (auto [source, width, height] :
       {std::tuple{std::shared_ptr<RTCDesktopSource>(), 384, 216},
        std::tuple{std::make_shared<RTCDesktopSource>("101", "Editor", RTCDesktopSourceTypeWindow,
                                                      nullptr),
                   6, 4}}) {
    auto frames = std::make_shared<Frames>();
    auto capturer = std::make_shared<RTCDesktopCapturer>(
        source, std::weak_ptr<RTCDesktopCapturerDelegate>(), frames);
    capturer->startCaptureWithFPS(1000);
    ASSERT_TRUE(dispatch::testing::runUntil([&] { return frames->count() >= 2; }));
    EXPECT_EQ(webrtc::testing::desktopFrameTimerCount(), 1u);
    capturer->stopCapture();
    EXPECT_EQ(webrtc::testing::desktopFrameTimerCount(), 0u);
    dispatch::testing::drainUntilIdle();
    std::lock_guard lock(frames->mutex);
    EXPECT_EQ(frames->sizes.front(), std::make_pair(width, height));
    EXPECT_EQ(frames->sizes.back(), std::make_pair(width, height));
  }

  // A capturer dropped while it runs takes its timer with it.
  auto frames = std::make_shared<Frames>();
  auto capturer =
      std::make_shared<RTCDesktopCapturer>(std::weak_ptr<RTCDesktopCapturerDelegate>(), frames);
  capturer->startCaptureWithFPS(30);
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return frames->count() >= 1; }));
  EXPECT_EQ(frames->first_pixel, 90);
  capturer.reset();
  ASSERT_TRUE(
      dispatch::testing::runUntil([] { return webrtc::testing::desktopFrameTimerCount() == 0; }));
}

// Reads an RGBA TIFF back with libtiff.
std::vector<uint32_t> decodeTiff(const std::vector<uint8_t>& bytes, uint32_t* width,
                                 uint32_t* height) {
  struct Reader {
    const std::vector<uint8_t>* bytes;
    toff_t position = 0;
  } reader{&bytes};
  auto read = [](thandle_t handle, tdata_t data, tsize_t size) -> tsize_t {
    auto* self = static_cast<Reader*>(handle);
    size_t available = self->bytes->size() - std::min<size_t>(self->position, self->bytes->size());
    size_t count = std::min<size_t>(static_cast<size_t>(size), available);
    std::memcpy(data, self->bytes->data() + self->position, count);
    self->position += count;
    return static_cast<tsize_t>(count);
  };
  auto write = [](thandle_t, tdata_t, tsize_t) -> tsize_t { return 0; };
  auto seek = [](thandle_t handle, toff_t offset, int whence) -> toff_t {
    auto* self = static_cast<Reader*>(handle);
    if (whence == SEEK_SET) self->position = offset;
    if (whence == SEEK_CUR) self->position += offset;
    if (whence == SEEK_END) self->position = self->bytes->size() + offset;
    return self->position;
  };
  auto close = [](thandle_t) { return 0; };
  auto size = [](thandle_t handle) -> toff_t {
    return static_cast<Reader*>(handle)->bytes->size();
  };
  auto map = [](thandle_t, tdata_t*, toff_t*) { return 0; };
  auto unmap = [](thandle_t, tdata_t, toff_t) {};
  TIFF* tiff = TIFFClientOpen("memory", "r", &reader, read, write, seek, close, size, map, unmap);
  if (tiff == nullptr) return {};
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, height);
  std::vector<uint32_t> pixels(static_cast<size_t>(*width) * *height);
  TIFFReadRGBAImageOriented(tiff, *width, *height, pixels.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(tiff);
  return pixels;
}

TEST(NSImageTest, DrawsScaledAndClippedAndEncodesTiff) {
  auto source = webrtc::testing::solidImage(10, 10, 200, 0, 0);
  webrtc::NSImage target(NSSize{20, 10});
  target.lockFocus();
  // Half of the drawn image hangs over the right edge and is cut.
  source->drawInRect(NSMakeRect(10, 0, 20, 10), NSRect{}, webrtc::NSCompositingOperationCopy, 1.0);
  target.unlockFocus();
  EXPECT_EQ(target.bitmapData()[0 * 4 + 3], 0);
  // Bilinear scaling may be off by a step or two.
  EXPECT_NEAR(target.bitmapData()[15 * 4 + 0], 200, 3);
  // Without focus nothing is drawn anywhere.
  source->drawInRect(NSMakeRect(0, 0, 20, 10), NSRect{}, webrtc::NSCompositingOperationCopy, 1.0);
  EXPECT_EQ(target.bitmapData()[3], 0);

  uint32_t width = 0;
  uint32_t height = 0;
  auto pixels = decodeTiff(target.TIFFRepresentation(), &width, &height);
  ASSERT_EQ(width, 20u);
  ASSERT_EQ(height, 10u);
  EXPECT_NEAR(TIFFGetR(pixels[15]), 200u, 6);
  EXPECT_NEAR(TIFFGetA(pixels[15]), 255u, 3);
  EXPECT_EQ(TIFFGetA(pixels[0]), 0u);
  EXPECT_TRUE(webrtc::NSImage(NSSize{0, 5}).TIFFRepresentation().empty());
}

}  // namespace
