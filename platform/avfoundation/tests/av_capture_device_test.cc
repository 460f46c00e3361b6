// Capture devices: discovery by type, media type and position, default devices, access answers
// (granted, refused, deferred) on threads of the system, and configuration under a lock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/avfoundation/av_capture_device_discovery_session.h"
#include "platform/avfoundation/testing/av_capture_controls.h"
#include "platform/dispatch/dispatch.h"

namespace {

namespace av = avfoundation::testing;

class AVCaptureDeviceTest : public ::testing::Test {
 protected:
  AVCaptureDeviceTest() { av::resetCaptureDevices(); }
  ~AVCaptureDeviceTest() override { av::resetCaptureDevices(); }

  // Asks for access and waits for the answer; remembers the thread it came on.
  bool ask(const AVMediaType& type) {
    auto done = dispatch_semaphore_create(0);
    bool granted = false;
    AVCaptureDevice::requestAccessForMediaType(type, [&](bool answer) {
      granted = answer;
      answer_thread = std::this_thread::get_id();
      dispatch_semaphore_signal(done);
    });
    dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
    return granted;
  }
  static std::vector<std::string> ids(const std::vector<std::shared_ptr<AVCaptureDevice>>& list) {
    std::vector<std::string> found;
    for (const auto& device : list) found.push_back(device->uniqueID());
    return found;
  }

  std::thread::id answer_thread;
};

TEST_F(AVCaptureDeviceTest, DiscoveryFiltersByTypeMediaAndPosition) {
  av::connectCaptureDevice(av::cameraDescription("front", AVCaptureDevicePositionFront, {{1, 1}}));
  av::connectCaptureDevice({"cont", "Phone", AVMediaTypeVideo, AVCaptureDeviceTypeContinuityCamera,
                            AVCaptureDevicePositionBack, {}, {}});
  av::connectCaptureDevice({"ext", "USB", AVMediaTypeVideo, AVCaptureDeviceTypeExternal,
                            AVCaptureDevicePositionUnspecified, {}, {}});
  av::connectCaptureDevice({"mic", "Mic", AVMediaTypeAudio, AVCaptureDeviceTypeMicrophone,
                            AVCaptureDevicePositionUnspecified, {}, {}});
  const auto find = [&](std::vector<AVCaptureDeviceType> types, AVCaptureDevicePosition position) {
    return ids(AVCaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
                   types, AVMediaTypeVideo, position)
                   ->devices());
  };
  EXPECT_EQ(find({AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVCaptureDevicePositionUnspecified),
            std::vector<std::string>{"front"});
  // The order is the connection order, not the order of the types asked for.
  EXPECT_EQ(find({AVCaptureDeviceTypeExternal, AVCaptureDeviceTypeContinuityCamera,
                  AVCaptureDeviceTypeBuiltInWideAngleCamera, AVCaptureDeviceTypeMicrophone},
                 AVCaptureDevicePositionUnspecified),
            (std::vector<std::string>{"front", "cont", "ext"}));
  EXPECT_EQ(find({AVCaptureDeviceTypeContinuityCamera, AVCaptureDeviceTypeExternal},
                 AVCaptureDevicePositionBack),
            std::vector<std::string>{"cont"});
  EXPECT_TRUE(find({}, AVCaptureDevicePositionUnspecified).empty());

  EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo)->uniqueID(), "front");
  EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeAudio)->uniqueID(), "mic");
  auto usb = AVCaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
                 {AVCaptureDeviceTypeExternal}, AVMediaTypeVideo,
                 AVCaptureDevicePositionUnspecified)
                 ->devices()
                 .front();
  av::setDefaultCaptureDevice(AVMediaTypeVideo, usb);
  EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), usb);
  av::setDefaultCaptureDevice(AVMediaTypeVideo, nullptr);
  EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo)->uniqueID(), "front");
  av::disconnectAllCaptureDevices();
  EXPECT_EQ(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr);
}

TEST_F(AVCaptureDeviceTest, AccessIsGrantedRefusedOrDeferredAndAnsweredOffTheCallersThread) {
  EXPECT_TRUE(ask(AVMediaTypeVideo));
  EXPECT_NE(answer_thread, std::this_thread::get_id());
  av::setCaptureAccess(AVMediaTypeAudio, av::CaptureAccess::refused);
  EXPECT_FALSE(ask(AVMediaTypeAudio));
  EXPECT_TRUE(ask(AVMediaTypeVideo));

  av::setCaptureAccess(AVMediaTypeVideo, av::CaptureAccess::deferred);
  std::atomic<int> answers{0};
  auto done = dispatch_semaphore_create(0);
  for (int i = 0; i < 2; ++i) {
    AVCaptureDevice::requestAccessForMediaType(AVMediaTypeVideo, [&](bool granted) {
      if (granted) ++answers;
      dispatch_semaphore_signal(done);
    });
  }
  EXPECT_EQ(answers, 0);
  // Answering another media type leaves these waiting.
  EXPECT_EQ(av::answerDeferredAccessRequests(AVMediaTypeAudio, true), 0u);
  EXPECT_EQ(av::answerDeferredAccessRequests(AVMediaTypeVideo, true), 2u);
  dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
  dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
  EXPECT_EQ(answers, 2);
  EXPECT_EQ(av::answerDeferredAccessRequests(AVMediaTypeVideo, true), 0u);
  EXPECT_EQ(av::accessRequests(),
            (std::vector<AVMediaType>{AVMediaTypeVideo, AVMediaTypeAudio, AVMediaTypeVideo,
                                      AVMediaTypeVideo, AVMediaTypeVideo}));
}

TEST_F(AVCaptureDeviceTest, ConfigurationNeedsTheLockAndCanBeRefused) {
  auto torch = av::connectCaptureDevice({"T", "Torch", AVMediaTypeVideo,
                                         AVCaptureDeviceTypeBuiltInWideAngleCamera,
                                         AVCaptureDevicePositionBack, {},
                                         {AVCaptureTorchModeOff, AVCaptureTorchModeOn}});
  EXPECT_TRUE(torch->isTorchModeSupported(AVCaptureTorchModeOn));
  EXPECT_FALSE(torch->isTorchModeSupported(AVCaptureTorchModeAuto));
  EXPECT_THROW(torch->setTorchMode(AVCaptureTorchModeOn), NSInvalidArgumentException);
  EXPECT_THROW(torch->setActiveVideoMinFrameDuration(CMTimeMake(1, 30)),
               NSInvalidArgumentException);

  ASSERT_TRUE(torch->lockForConfiguration(nullptr));
  torch->setTorchMode(AVCaptureTorchModeOn);
  EXPECT_THROW(torch->setTorchMode(AVCaptureTorchModeAuto), NSInvalidArgumentException);
  torch->setActiveVideoMaxFrameDuration(CMTimeMake(1, 15));
  av::refuseFrameDurations(*torch, true);
  EXPECT_THROW(torch->setActiveVideoMinFrameDuration(CMTimeMake(1, 30)),
               NSInvalidArgumentException);
  torch->unlockForConfiguration();
  EXPECT_EQ(torch->torchMode(), AVCaptureTorchModeOn);
  EXPECT_EQ(torch->activeVideoMaxFrameDuration(), CMTimeMake(1, 15));
  EXPECT_TRUE(CMTIME_IS_INVALID(torch->activeVideoMinFrameDuration()));

  av::refuseConfigurationLock(*torch, NSError{"AV", 1, "in use"});
  NSError error;
  EXPECT_FALSE(torch->lockForConfiguration(&error));
  EXPECT_EQ(error.localizedDescription, "in use");
  EXPECT_FALSE(torch->lockForConfiguration(nullptr));
  av::refuseConfigurationLock(*torch, std::nullopt);
  EXPECT_TRUE(torch->lockForConfiguration(&error));
}

}  // namespace
