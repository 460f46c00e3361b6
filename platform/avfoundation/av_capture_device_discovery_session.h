// Finds the connected capture devices of some device types, media type and position.
#pragma once

#include <memory>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"

class AVCaptureDeviceDiscoverySession {
 public:
  // An unspecified position matches every position.
  static std::shared_ptr<AVCaptureDeviceDiscoverySession> discoverySessionWithDeviceTypes(
      const std::vector<AVCaptureDeviceType>& deviceTypes, const AVMediaType& mediaType,
      AVCaptureDevicePosition position);

  // In the order the devices were connected.
  const std::vector<std::shared_ptr<AVCaptureDevice>>& devices() const { return devices_; }

  explicit AVCaptureDeviceDiscoverySession(std::vector<std::shared_ptr<AVCaptureDevice>> devices)
      : devices_(std::move(devices)) {}

 private:
  std::vector<std::shared_ptr<AVCaptureDevice>> devices_;
};
