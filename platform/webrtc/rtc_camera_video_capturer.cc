#include "platform/webrtc/rtc_camera_video_capturer.h"

#include "platform/avfoundation/av_capture_device_discovery_session.h"
#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/webrtc/camera_model.h"

std::shared_ptr<RTCCameraVideoCapturer> RTCCameraVideoCapturer::initWithDelegate(
    std::weak_ptr<RTCVideoCapturerDelegate> delegate) {
  auto capturer = std::make_shared<RTCCameraVideoCapturer>(std::move(delegate));
  webrtc_model::cameraModel().capturerMade(capturer);
  return capturer;
}

RTCCameraVideoCapturer::RTCCameraVideoCapturer(std::weak_ptr<RTCVideoCapturerDelegate> delegate)
    : RTCVideoCapturer(std::move(delegate)),
      queue_(dispatch_queue_create("webrtc.camera_capturer", DISPATCH_QUEUE_SERIAL)) {}

RTCCameraVideoCapturer::~RTCCameraVideoCapturer() = default;

std::vector<std::shared_ptr<AVCaptureDevice>> RTCCameraVideoCapturer::captureDevices() {
  return AVCaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
             {AVCaptureDeviceTypeBuiltInWideAngleCamera, AVCaptureDeviceTypeContinuityCamera,
              AVCaptureDeviceTypeExternal},
             AVMediaTypeVideo, AVCaptureDevicePositionUnspecified)
      ->devices();
}

std::vector<AVCaptureDeviceFormat> RTCCameraVideoCapturer::supportedFormatsForDevice(
    const std::shared_ptr<AVCaptureDevice>& device) {
  return device ? device->formats() : std::vector<AVCaptureDeviceFormat>{};
}

OSType RTCCameraVideoCapturer::preferredOutputPixelFormat() const {
  return kCVPixelFormatType_420YpCbCr8BiPlanarFullRange;
}

void RTCCameraVideoCapturer::startCaptureWithDevice(std::shared_ptr<AVCaptureDevice> device,
                                                    AVCaptureDeviceFormat format, long fps,
                                                    StartCompletion completionHandler) {
  auto self = shared_from_this();
  dispatch_async(queue_, [self, device = std::move(device), format, fps,
                          completion = std::move(completionHandler)] {
    std::optional<NSError> error = webrtc_model::cameraModel().takeStartFailure();
    if (!error && !device) error = NSError{"RTCCameraVideoCapturer", -1, "No capture device"};
    if (!error) {
      self->session_->removeAllInputs();
      self->session_->addInput(std::make_shared<AVCaptureDeviceInput>(device));
      std::lock_guard lock(self->mutex_);
      self->running_ = true;
      self->format_ = format;
      self->fps_ = fps;
    }
    if (completion) completion(error);
  });
}

void RTCCameraVideoCapturer::stopCapture() { stopCaptureWithCompletionHandler(nullptr); }

void RTCCameraVideoCapturer::stopCaptureWithCompletionHandler(
    std::function<void()> completionHandler) {
  auto self = shared_from_this();
  dispatch_async(queue_, [self, completion = std::move(completionHandler)]() mutable {
    self->session_->removeAllInputs();
    {
      std::lock_guard lock(self->mutex_);
      self->running_ = false;
    }
    if (!completion) return;
    // A held stop reports later, from the test's release, on this queue.
    if (webrtc_model::cameraModel().holdStopCompletion(self, completion)) return;
    completion();
  });
}
