// The ScreenCaptureKit capturer: display choice, pacing, frames, and stops that race starts.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "platform/coregraphics/testing/cg_display_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/screencapturekit/testing/screen_capture_kit_controls.h"
#include "plugins/webrtc_host/host_screen_capture_kit_capturer.h"

namespace webrtc_host {
namespace {

namespace sck = screencapturekit::testing;

struct FrameCounter : RTCVideoCapturerDelegate {
  void capturer(RTCVideoCapturer&, const std::shared_ptr<RTCVideoFrame>& frame) override {
    last_time_ns = frame->timeStampNs();
    ++frames;
  }
  std::atomic<int> frames{0};
  std::atomic<int64_t> last_time_ns{-1};
};

class ScreenCapturerTest : public ::testing::Test {
 protected:
  ScreenCapturerTest() {
    sck::resetScreenCaptureKit();
    sck::holdScreenFrames(true);
    coregraphics::testing::resetDisplayControls();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }
  ~ScreenCapturerTest() override {
    dispatch::testing::drainUntilIdle();
    sck::resetScreenCaptureKit();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }

  // Starts and waits for the start handler; answers its error.
  std::optional<NSError> start(long fps, std::optional<std::string> source = std::nullopt) {
    auto outcome = std::make_shared<std::optional<std::optional<NSError>>>();
    capturer->startCaptureWithFPS(fps, source, [outcome](std::optional<NSError> error) {
      dispatch_async(dispatch_get_main_queue(), [outcome, error] { *outcome = error; });
    });
    EXPECT_TRUE(dispatch::testing::runUntil([&] { return outcome->has_value(); }));
    return outcome->value_or(NSError{"timeout", 0, ""});
  }
  void stop() {
    bool stopped = false;
    capturer->stopCaptureWithCompletion(
        [&stopped] { dispatch_async(dispatch_get_main_queue(), [&stopped] { stopped = true; }); });
    EXPECT_TRUE(dispatch::testing::runUntil([&] { return stopped; }));
  }

  std::shared_ptr<FrameCounter> delegate = std::make_shared<FrameCounter>();
  std::shared_ptr<HostScreenCaptureKitCapturer> capturer =
      std::make_shared<HostScreenCaptureKitCapturer>(delegate);
};

TEST_F(ScreenCapturerTest, ChoosesTheNamedDisplayElseTheMainOne) {
  SCShareableContent content({{5, 800, 600, {}}, {7, 1024, 768, {}}}, {});
  coregraphics::testing::setMainDisplayID(7);
  EXPECT_EQ(HostScreenCaptureKitCapturer::selectDisplayFromContent(content, "5")->displayID, 5u);
  EXPECT_EQ(HostScreenCaptureKitCapturer::selectDisplayFromContent(content, "101")->displayID, 7u);
  EXPECT_EQ(
      HostScreenCaptureKitCapturer::selectDisplayFromContent(content, std::nullopt)->displayID, 7u);
  coregraphics::testing::setMainDisplayID(99);
  EXPECT_EQ(HostScreenCaptureKitCapturer::selectDisplayFromContent(content, "")->displayID, 5u);
  EXPECT_FALSE(
      HostScreenCaptureKitCapturer::selectDisplayFromContent(SCShareableContent({}, {}), "5"));
}

TEST_F(ScreenCapturerTest, PacesByFrameRateAndDeliversScreenFramesOnly) {
  EXPECT_EQ(start(0), std::nullopt);
  auto streams = sck::runningStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0]->configuration().minimumFrameInterval, CMTimeMake(1, 1));
  EXPECT_EQ(streams[0]->configuration().pixelFormat, 875704422u);
  EXPECT_EQ(streams[0]->configuration().width, 1920u);

  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(4, 4, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  sck::deliverSample(image, CMTimeMake(3, 2));
  sck::deliverSample(image, CMTimeMake(1, 1), SCStreamOutputTypeAudio);
  sck::deliverSample(nullptr, CMTimeMake(1, 1));
  // A time that is not a number becomes 0 rather than undefined behaviour.
  sck::deliverSample(image, kCMTimeInvalid);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(delegate->frames, 2);
  EXPECT_EQ(delegate->last_time_ns, 0);
  stop();
  EXPECT_TRUE(sck::runningStreams().empty());
}

TEST_F(ScreenCapturerTest, ThirtyFramesPerSecond) {
  EXPECT_EQ(start(30, "1"), std::nullopt);
  EXPECT_EQ(sck::runningStreams().at(0)->configuration().minimumFrameInterval,
            CMTimeMake(1, 30));
}

TEST_F(ScreenCapturerTest, FailuresReachTheStartHandler) {
  foundation::testing::setEmulatedOperatingSystemVersion({12, 2, 0});
  EXPECT_EQ(start(30)->code, -2);
  foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  sck::setShareableDisplays({});
  EXPECT_EQ(*start(30), (NSError{kScreenCaptureKitErrorDomain, -1, "No matching display"}));
  sck::setShareableDisplays({{1, 10, 10, {}}});
  sck::failNextShareableContent(NSError{"sck", -3801, "denied"});
  EXPECT_EQ(start(30)->localizedDescription, "denied");
  sck::failNextAddStreamOutput(NSError{"sck", -3802, "no output"});
  EXPECT_EQ(start(30)->localizedDescription, "no output");
  EXPECT_TRUE(sck::runningStreams().empty());
}

TEST_F(ScreenCapturerTest, StopWithoutStartCompletesAtOnce) {
  bool stopped = false;
  capturer->stopCaptureWithCompletion([&stopped] { stopped = true; });
  EXPECT_TRUE(stopped);
}

TEST_F(ScreenCapturerTest, AStopDuringAPendingStartLeavesNothingRunning) {
  sck::holdShareableContentRequests(true);
  auto outcome = std::make_shared<std::atomic<bool>>(false);
  auto error = std::make_shared<std::optional<NSError>>();
  capturer->startCaptureWithFPS(30, std::nullopt, [outcome, error](std::optional<NSError> e) {
    *error = e;
    *outcome = true;
  });
  ASSERT_EQ(sck::heldShareableContentRequestCount(), 1u);
  stop();
  sck::releaseShareableContentRequests();
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return outcome->load(); }));
  ASSERT_TRUE(error->has_value());
  EXPECT_EQ((*error)->code, -3);
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(sck::runningStreams().empty());
}

TEST_F(ScreenCapturerTest, StartsAndStopsRacingFromManyThreadsEndStopped) {
  for (int round = 0; round < 20; ++round) {
    auto local = std::make_shared<HostScreenCaptureKitCapturer>(delegate);
    int done = 0;
    auto count = [&done] { dispatch_async(dispatch_get_main_queue(), [&done] { ++done; }); };
    local->startCaptureWithFPS(30, std::nullopt, [count](std::optional<NSError>) { count(); });
    dispatch_async(dispatch_get_global_queue(0, 0),
                   [local, count] { local->stopCaptureWithCompletion(count); });
    ASSERT_TRUE(dispatch::testing::runUntil([&] { return done == 2; }));
    // Whichever way the race went, no stream runs once both have completed.
    dispatch::testing::drainUntilIdle();
    EXPECT_TRUE(sck::runningStreams().empty());
  }
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(sck::runningStreams().empty());
}

}  // namespace
}  // namespace webrtc_host
