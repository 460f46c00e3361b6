// Capture devices (cameras and microphones) as the system lists them, with the access request
// that must be granted before capturing. The list of connected devices is process-wide.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/avfoundation/av_capture_device_format.h"
#include "platform/avfoundation/av_media_format.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/foundation/ns_error.h"

using AVCaptureDeviceType = std::string;
inline const AVCaptureDeviceType AVCaptureDeviceTypeBuiltInWideAngleCamera =
    "AVCaptureDeviceTypeBuiltInWideAngleCamera";
inline const AVCaptureDeviceType AVCaptureDeviceTypeContinuityCamera =
    "AVCaptureDeviceTypeContinuityCamera";
inline const AVCaptureDeviceType AVCaptureDeviceTypeExternal = "AVCaptureDeviceTypeExternal";
inline const AVCaptureDeviceType AVCaptureDeviceTypeMicrophone = "AVCaptureDeviceTypeMicrophone";

enum AVCaptureDevicePosition : int {
  AVCaptureDevicePositionUnspecified = 0,
  AVCaptureDevicePositionBack = 1,
  AVCaptureDevicePositionFront = 2,
};

enum AVCaptureTorchMode : int {
  AVCaptureTorchModeOff = 0,
  AVCaptureTorchModeOn = 1,
  AVCaptureTorchModeAuto = 2,
};

// What the platform raises for a configuration change the device refuses.
class NSInvalidArgumentException : public std::runtime_error {
 public:
  explicit NSInvalidArgumentException(const std::string& userInfo)
      : std::runtime_error(userInfo), user_info_(userInfo) {}
  const std::string& userInfo() const { return user_info_; }

 private:
  std::string user_info_;
};

class AVCaptureDevice {
 public:
  struct Description {
    std::string uniqueID;
    std::string localizedName;
    AVMediaType mediaType = AVMediaTypeVideo;
    AVCaptureDeviceType deviceType = AVCaptureDeviceTypeBuiltInWideAngleCamera;
    AVCaptureDevicePosition position = AVCaptureDevicePositionUnspecified;
    std::vector<AVCaptureDeviceFormat> formats;
    std::vector<AVCaptureTorchMode> torchModes;
  };

  explicit AVCaptureDevice(Description description) : description_(std::move(description)) {}
  AVCaptureDevice(const AVCaptureDevice&) = delete;
  AVCaptureDevice& operator=(const AVCaptureDevice&) = delete;

  // The completion runs on a thread of the system, once the user has answered (which may be
  // much later, or never).
  static void requestAccessForMediaType(const AVMediaType& mediaType,
                                        std::function<void(bool granted)> completion);
  // The system's default device for the media type, or null.
  static std::shared_ptr<AVCaptureDevice> defaultDeviceWithMediaType(const AVMediaType& mediaType);

  const std::string& uniqueID() const { return description_.uniqueID; }
  const std::string& localizedName() const { return description_.localizedName; }
  const AVMediaType& mediaType() const { return description_.mediaType; }
  const AVCaptureDeviceType& deviceType() const { return description_.deviceType; }
  AVCaptureDevicePosition position() const { return description_.position; }
  const std::vector<AVCaptureDeviceFormat>& formats() const { return description_.formats; }

  bool isTorchModeSupported(AVCaptureTorchMode mode) const;
  AVCaptureTorchMode torchMode() const;
  // Raises unless the device is locked for configuration and supports the mode.
  void setTorchMode(AVCaptureTorchMode mode);

  // False, with the reason in `error`, when another client holds the device.
  bool lockForConfiguration(NSError* error);
  void unlockForConfiguration();
  // Raise unless the device is locked for configuration and accepts the duration.
  void setActiveVideoMinFrameDuration(CMTime duration);
  void setActiveVideoMaxFrameDuration(CMTime duration);
  CMTime activeVideoMinFrameDuration() const;
  CMTime activeVideoMaxFrameDuration() const;

 private:
  friend class AVCaptureDeviceControl;
  void requireLocked(const char* what) const;

  const Description description_;
  mutable std::mutex mutex_;
  bool locked_ = false;
  std::optional<NSError> lock_refusal_;
  bool refuses_frame_durations_ = false;
  AVCaptureTorchMode torch_mode_ = AVCaptureTorchModeOff;
  CMTime min_frame_duration_ = kCMTimeInvalid;
  CMTime max_frame_duration_ = kCMTimeInvalid;
};
