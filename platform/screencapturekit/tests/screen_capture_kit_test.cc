// The screen-capture model: content requests, stream states, sample delivery and the frames
// running streams deliver on their own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/screencapturekit/testing/screen_capture_kit_controls.h"

namespace {

// Completions may capture the test's locals: a wait past its bound ends the run, never hangs it.
void waitBounded(const dispatch_semaphore_t& done) {
  if (dispatch_semaphore_wait(done, dispatch_time(DISPATCH_TIME_NOW, 20 * NSEC_PER_SEC)) == 0) {
    return;
  }
  std::fprintf(stderr, "a ScreenCaptureKit completion did not arrive within 20 s\n");
  std::abort();
}

namespace sck = screencapturekit::testing;

struct Samples : SCStreamOutput {
  void stream(SCStream&, const CMSampleBufferRef&, SCStreamOutputType) override {
    ++count;
  }
  std::atomic<int> count{0};
};

class ScreenCaptureKitTest : public ::testing::Test {
 protected:
  ScreenCaptureKitTest() {
    sck::resetScreenCaptureKit();
    sck::holdScreenFrames(true);
  }
  ~ScreenCaptureKitTest() override {
    dispatch::testing::drainUntilIdle();
    sck::resetScreenCaptureKit();
  }
  std::optional<NSError> await(const std::function<void(SCStream::CompletionHandler)>& start) {
    auto done = dispatch_semaphore_create(0);
    auto result = std::make_shared<std::optional<NSError>>();
    start([done, result](std::optional<NSError> error) {
      *result = error;
      dispatch_semaphore_signal(done);
    });
    waitBounded(done);
    return *result;
  }
  std::shared_ptr<SCStream> makeStream() {
    return std::make_shared<SCStream>(SCContentFilter(sck_display, {}), SCStreamConfiguration(),
                                      std::weak_ptr<SCStreamDelegate>());
  }
  SCDisplay sck_display{1, 1920, 1080, {}};
};

TEST_F(ScreenCaptureKitTest, ContentAnswersOffTheCallingThreadWithTheDisplays) {
  sck::setShareableDisplays({{3, 100, 50, {}}});
  auto done = dispatch_semaphore_create(0);
  std::shared_ptr<SCShareableContent> content;
  SCShareableContent::getShareableContentWithCompletionHandler(
      [&](std::shared_ptr<SCShareableContent> answer, std::optional<NSError>) {
        content = std::move(answer);
        dispatch_semaphore_signal(done);
      });
  waitBounded(done);
  ASSERT_NE(content, nullptr);
  ASSERT_EQ(content->displays().size(), 1u);
  EXPECT_EQ(content->displays()[0].displayID, 3u);
}

TEST_F(ScreenCaptureKitTest, StreamsRunOnceAndNeverAfterAStop) {
  auto stream = makeStream();
  auto output = std::make_shared<Samples>();
  ASSERT_TRUE(stream->addStreamOutput(output, SCStreamOutputTypeScreen,
                                      dispatch_queue_create("samples", DISPATCH_QUEUE_SERIAL),
                                      nullptr));
  EXPECT_FALSE(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); }));
  EXPECT_TRUE(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); }));
  ASSERT_EQ(sck::runningStreams().size(), 1u);

  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  sck::deliverSample(image, CMTimeMake(1, 30));
  sck::deliverSample(image, CMTimeMake(1, 30), SCStreamOutputTypeAudio);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(output->count, 1);

  EXPECT_FALSE(await([&](auto done) { stream->stopCaptureWithCompletionHandler(done); }));
  EXPECT_TRUE(sck::runningStreams().empty());
  EXPECT_TRUE(await([&](auto done) { stream->stopCaptureWithCompletionHandler(done); }));
  EXPECT_EQ(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); })->code,
            -3805);
  sck::deliverSample(image, CMTimeMake(2, 30));
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(output->count, 1);
}

TEST_F(ScreenCaptureKitTest, InjectedFailuresHitOnlyTheNextRequest) {
  auto stream = makeStream();
  sck::failNextAddStreamOutput(NSError{"d", 1, "x"});
  std::optional<NSError> error;
  EXPECT_FALSE(stream->addStreamOutput(std::make_shared<Samples>(), SCStreamOutputTypeScreen,
                                       nullptr, &error));
  EXPECT_EQ(error->localizedDescription, "x");
  EXPECT_TRUE(stream->addStreamOutput(std::make_shared<Samples>(), SCStreamOutputTypeScreen,
                                      nullptr, &error));
  sck::failNextStartCapture(NSError{"d", 2, "y"});
  EXPECT_EQ(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); })->code, 2);
  EXPECT_FALSE(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); }));
}

// Keeps the images and times of the screen samples it receives.
struct Screens : SCStreamOutput {
  void stream(SCStream&, const CMSampleBufferRef& sample, SCStreamOutputType) override {
    std::lock_guard lock(mutex);
    images.push_back(CMSampleBufferGetImageBuffer(sample));
    times.push_back(CMTimeGetSeconds(CMSampleBufferGetPresentationTimeStamp(sample)));
  }
  size_t count() {
    std::lock_guard lock(mutex);
    return images.size();
  }
  std::mutex mutex;
  std::vector<CVPixelBufferRef> images;
  std::vector<double> times;
};

TEST_F(ScreenCaptureKitTest, RunningStreamsDeliverTheScreenOnTheirOwnUntilStopped) {
  sck::holdScreenFrames(false);
  for (OSType format :
       {kCVPixelFormatType_32BGRA, kCVPixelFormatType_420YpCbCr8BiPlanarFullRange}) {
    SCStreamConfiguration configuration;
    configuration.width = 64;
    configuration.height = 36;
    configuration.pixelFormat = format;
    configuration.minimumFrameInterval = CMTimeMake(1, 1000);
    auto stream = std::make_shared<SCStream>(SCContentFilter(sck_display, {}), configuration,
                                             std::weak_ptr<SCStreamDelegate>());
    auto output = std::make_shared<Screens>();
    ASSERT_TRUE(stream->addStreamOutput(output, SCStreamOutputTypeScreen,
                                        dispatch_queue_create("screens", DISPATCH_QUEUE_SERIAL),
                                        nullptr));
    EXPECT_FALSE(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); }));
    ASSERT_TRUE(dispatch::testing::runUntil([&] { return output->count() >= 3; })) << format;
    EXPECT_EQ(sck::screenFrameTimerCount(), 1u);
    EXPECT_FALSE(await([&](auto done) { stream->stopCaptureWithCompletionHandler(done); }));
    EXPECT_EQ(sck::screenFrameTimerCount(), 0u);
    dispatch::testing::drainUntilIdle();

    std::lock_guard lock(output->mutex);
    for (size_t index = 0; index < output->images.size(); ++index) {
      const auto& image = output->images[index];
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->width(), 64u);
      EXPECT_EQ(image->height(), 36u);
      EXPECT_EQ(image->pixelFormatType(), format);
      if (index > 0) {
        EXPECT_GT(output->times[index], output->times[index - 1]);
      }
    }
    // A pattern, not an empty picture: the left and right edges differ.
    auto& first = *output->images[0];
    const size_t right = CVPixelBufferIsPlanar(first) ? 63 : 63 * 4;
    EXPECT_NE(first.baseAddress()[0], first.baseAddress()[right]) << format;
  }

  // A stream dropped while it runs takes its timer with it.
  auto stream = makeStream();
  auto output = std::make_shared<Screens>();
  ASSERT_TRUE(stream->addStreamOutput(output, SCStreamOutputTypeScreen, nullptr, nullptr));
  EXPECT_FALSE(await([&](auto done) { stream->startCaptureWithCompletionHandler(done); }));
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return output->count() >= 1; }));
  EXPECT_EQ(output->images[0]->width(), 1920u);
  stream.reset();
  ASSERT_TRUE(dispatch::testing::runUntil([] { return sck::screenFrameTimerCount() == 0; }));
}

}  // namespace
