// Camera capturers: starts and stops complete on the capturer's own queue, failures are reported
// there, held stops wait for their release, frames reach the delegate; PCM buffers refuse
// formats they cannot hold.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/webrtc/testing/bounded_wait.h"
#include "platform/avfoundation/testing/av_capture_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/webrtc/av_audio_pcm_buffer.h"
#include "platform/webrtc/rtc_i420_buffer.h"
#include "platform/webrtc/testing/camera_controls.h"

namespace {

namespace av = avfoundation::testing;

struct Frames : RTCVideoCapturerDelegate {
  void capturer(RTCVideoCapturer&, const std::shared_ptr<RTCVideoFrame>& frame) override {
    last = frame;
    thread = std::this_thread::get_id();
  }
  std::shared_ptr<RTCVideoFrame> last;
  std::thread::id thread;
};

// Waits for a completion called on another thread and remembers where it ran.
struct Completion {
  Completion() : done(dispatch_semaphore_create(0)) {}
  void wait() { webrtc::testing::waitOrAbort(done, "a capturer completion"); }
  dispatch_semaphore_t done;
  std::thread::id thread;
  std::optional<NSError> error;
};

class CameraCapturerTest : public ::testing::Test {
 protected:
  CameraCapturerTest() {
    av::resetCaptureDevices();
    webrtc::testing::resetCameras();
    camera = av::connectCaptureDevice(
        av::cameraDescription("C", AVCaptureDevicePositionFront, {{640, 480}}));
  }
  ~CameraCapturerTest() override {
    webrtc::testing::holdCameraStops(false);
    webrtc::testing::releaseHeldCameraStops();
    dispatch::testing::drainUntilIdle();
    av::resetCaptureDevices();
    webrtc::testing::resetCameras();
  }
  void start(RTCCameraVideoCapturer& capturer, std::shared_ptr<AVCaptureDevice> device,
             Completion& completion) {
    capturer.startCaptureWithDevice(std::move(device), camera->formats().front(), 30,
                                    [&completion](const std::optional<NSError>& error) {
                                      completion.error = error;
                                      completion.thread = std::this_thread::get_id();
                                      dispatch_semaphore_signal(completion.done);
                                    });
    completion.wait();
  }

  std::shared_ptr<AVCaptureDevice> camera;
  std::shared_ptr<Frames> frames = std::make_shared<Frames>();
};

TEST_F(CameraCapturerTest, StartAndStopCompleteOnTheCapturersOwnThread) {
  auto capturer = RTCCameraVideoCapturer::initWithDelegate(frames);
  EXPECT_EQ(webrtc::testing::liveCameraCapturers().size(), 1u);
  Completion started;
  start(*capturer, camera, started);
  EXPECT_FALSE(started.error.has_value());
  EXPECT_NE(started.thread, std::this_thread::get_id());
  auto state = webrtc::testing::cameraCaptureState(*capturer);
  EXPECT_TRUE(state.running);
  EXPECT_EQ(state.device, camera);
  EXPECT_EQ(state.fps, 30);
  ASSERT_EQ(capturer->captureSession()->inputs().size(), 1u);

  webrtc::testing::deliverCameraFrame(
      *capturer, std::make_shared<RTCVideoFrame>(std::make_shared<RTCI420Buffer>(4, 4),
                                                 RTCVideoRotation_90, 7));
  ASSERT_NE(frames->last, nullptr);
  EXPECT_EQ(frames->last->timeStampNs(), 7);
  EXPECT_EQ(frames->thread, started.thread);

  Completion stopped;
  capturer->stopCaptureWithCompletionHandler([&stopped] {
    stopped.thread = std::this_thread::get_id();
    dispatch_semaphore_signal(stopped.done);
  });
  stopped.wait();
  EXPECT_EQ(stopped.thread, started.thread);
  EXPECT_FALSE(webrtc::testing::cameraCaptureState(*capturer).running);
  EXPECT_TRUE(capturer->captureSession()->inputs().empty());
}

TEST_F(CameraCapturerTest, FailedStartsReportAndCaptureNothing) {
  auto capturer = RTCCameraVideoCapturer::initWithDelegate(frames);
  webrtc::testing::failNextCameraStart(NSError{"Camera", 3, "busy"});
  Completion refused;
  start(*capturer, camera, refused);
  ASSERT_TRUE(refused.error.has_value());
  EXPECT_EQ(refused.error->localizedDescription, "busy");
  EXPECT_FALSE(webrtc::testing::cameraCaptureState(*capturer).running);

  Completion without_device;
  start(*capturer, nullptr, without_device);
  EXPECT_TRUE(without_device.error.has_value());
  // Only the next start fails.
  Completion fine;
  start(*capturer, camera, fine);
  EXPECT_FALSE(fine.error.has_value());
  EXPECT_EQ(capturer->preferredOutputPixelFormat(),
            kCVPixelFormatType_420YpCbCr8BiPlanarFullRange);
}

TEST_F(CameraCapturerTest, HeldStopsCompleteOnlyWhenReleasedAndCapturersDieWithTheirOwners) {
  auto capturer = RTCCameraVideoCapturer::initWithDelegate(frames);
  Completion started;
  start(*capturer, camera, started);
  webrtc::testing::holdCameraStops(true);
  std::atomic<int> stops{0};
  capturer->stopCaptureWithCompletionHandler([&stops] { ++stops; });
  capturer->stopCapture();
  // Capture has stopped already; only the report waits.
  EXPECT_FALSE(webrtc::testing::cameraCaptureState(*capturer).running);
  EXPECT_EQ(stops, 0);
  EXPECT_EQ(webrtc::testing::releaseHeldCameraStops(), 1u);
  webrtc::testing::cameraCaptureState(*capturer);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(webrtc::testing::releaseHeldCameraStops(), 0u);

  // The model holds capturers weakly.
  capturer.reset();
  EXPECT_TRUE(webrtc::testing::liveCameraCapturers().empty());
  // Devices come from every camera type, in connection order.
  av::connectCaptureDevice(AVCaptureDevice::Description{
      "X", "External", AVMediaTypeVideo, AVCaptureDeviceTypeExternal,
      AVCaptureDevicePositionUnspecified, {}, {}});
  av::connectCaptureDevice(AVCaptureDevice::Description{
      "M", "Mic", AVMediaTypeAudio, AVCaptureDeviceTypeMicrophone,
      AVCaptureDevicePositionUnspecified, {}, {}});
  const auto devices = RTCCameraVideoCapturer::captureDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[1]->uniqueID(), "X");
  EXPECT_TRUE(RTCCameraVideoCapturer::supportedFormatsForDevice(devices[1]).empty());
  EXPECT_TRUE(RTCCameraVideoCapturer::supportedFormatsForDevice(nullptr).empty());
}

TEST(AVAudioPCMBufferTest, OnlyNonInterleaved16BitFormatsWithinLimits) {
  using webrtc::AVAudioPCMBuffer;
  const webrtc::AVAudioFormat stereo{webrtc::AVAudioPCMFormatInt16, 48000, 2, false};
  auto buffer = AVAudioPCMBuffer::initWithPCMFormat(stereo, 480);
  ASSERT_NE(buffer, nullptr);
  buffer->setFrameLength(1000);
  EXPECT_EQ(buffer->frameLength(), 480u);
  EXPECT_NE(buffer->int16ChannelData(1), nullptr);
  EXPECT_EQ(buffer->int16ChannelData(2), nullptr);

  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat({webrtc::AVAudioPCMFormatFloat32, 48000, 2}, 480),
            nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat({webrtc::AVAudioPCMFormatInt16, 48000, 2, true},
                                                480),
            nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat({webrtc::AVAudioPCMFormatInt16, 48000, 0}, 480),
            nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat({webrtc::AVAudioPCMFormatInt16, 48000, 65}, 480),
            nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat({webrtc::AVAudioPCMFormatInt16, 0, 1}, 0), nullptr);
  EXPECT_EQ(AVAudioPCMBuffer::initWithPCMFormat(stereo, 480001), nullptr);
}

}  // namespace
