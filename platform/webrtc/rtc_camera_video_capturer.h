// Captures a camera into its delegate. Starting and stopping run on the capturer's own queue and
// report through completions there; frames reach the delegate on that queue too.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"
#include "platform/avfoundation/av_capture_session.h"
#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_error.h"
#include "platform/webrtc/rtc_video_capturer.h"

class RTCCameraVideoCapturer : public RTCVideoCapturer,
                               public std::enable_shared_from_this<RTCCameraVideoCapturer> {
 public:
  using StartCompletion = std::function<void(const std::optional<NSError>& error)>;

  static std::shared_ptr<RTCCameraVideoCapturer> initWithDelegate(
      std::weak_ptr<RTCVideoCapturerDelegate> delegate);
  explicit RTCCameraVideoCapturer(std::weak_ptr<RTCVideoCapturerDelegate> delegate);
  ~RTCCameraVideoCapturer() override;

  // Every connected camera.
  static std::vector<std::shared_ptr<AVCaptureDevice>> captureDevices();
  static std::vector<AVCaptureDeviceFormat> supportedFormatsForDevice(
      const std::shared_ptr<AVCaptureDevice>& device);

  OSType preferredOutputPixelFormat() const;
  const std::shared_ptr<AVCaptureSession>& captureSession() const { return session_; }

  // Restarts on the new device when already running.
  void startCaptureWithDevice(std::shared_ptr<AVCaptureDevice> device,
                              AVCaptureDeviceFormat format, long fps,
                              StartCompletion completionHandler);
  void stopCapture();
  void stopCaptureWithCompletionHandler(std::function<void()> completionHandler);

 private:
  friend class RTCCameraVideoCapturerControl;

  dispatch_queue_t queue_;
  std::shared_ptr<AVCaptureSession> session_ = std::make_shared<AVCaptureSession>();
  mutable std::mutex mutex_;
  bool running_ = false;
  std::optional<AVCaptureDeviceFormat> format_;
  long fps_ = 0;
};
