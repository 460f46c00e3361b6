// The screen-capture model: content requests, stream states and sample delivery.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

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
  ScreenCaptureKitTest() { sck::resetScreenCaptureKit(); }
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

}  // namespace
