#include "platform/avfoundation/testing/av_capture_controls.h"

#include "platform/avfoundation/av_capture_registry.h"
#include "platform/dispatch/dispatch.h"

class AVCaptureDeviceControl {
 public:
  static void refuseLock(AVCaptureDevice& device, std::optional<NSError> error) {
    std::lock_guard lock(device.mutex_);
    device.lock_refusal_ = std::move(error);
  }
  static void refuseFrameDurations(AVCaptureDevice& device, bool refuse) {
    std::lock_guard lock(device.mutex_);
    device.refuses_frame_durations_ = refuse;
  }
};

namespace avfoundation::testing {
namespace {
// '420v'.
constexpr FourCharCode kBiPlanarVideoRange = 0x34323076;
}  // namespace

std::shared_ptr<AVCaptureDevice> connectCaptureDevice(AVCaptureDevice::Description description) {
  auto device = std::make_shared<AVCaptureDevice>(std::move(description));
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  registry.devices.push_back(device);
  return device;
}

AVCaptureDevice::Description cameraDescription(std::string uniqueID,
                                               AVCaptureDevicePosition position,
                                               std::vector<CMVideoDimensions> sizes,
                                               double maxFps) {
  AVCaptureDevice::Description description;
  description.localizedName = "Camera " + uniqueID;
  description.uniqueID = std::move(uniqueID);
  description.position = position;
  for (const auto& size : sizes) {
    description.formats.emplace_back(size, kBiPlanarVideoRange,
                                     std::vector<AVFrameRateRange>{{1, maxFps}});
  }
  return description;
}

void disconnectAllCaptureDevices() {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  registry.devices.clear();
  registry.default_overrides.clear();
}

void setDefaultCaptureDevice(const AVMediaType& mediaType,
                             std::shared_ptr<AVCaptureDevice> device) {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  if (device) {
    registry.default_overrides[mediaType] = std::move(device);
  } else {
    registry.default_overrides.erase(mediaType);
  }
}

void setCaptureAccess(const AVMediaType& mediaType, CaptureAccess access) {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  registry.answers[mediaType] = access == CaptureAccess::granted   ? AVCaptureAccessAnswer::granted
                                : access == CaptureAccess::refused ? AVCaptureAccessAnswer::refused
                                                                   : AVCaptureAccessAnswer::deferred;
}

size_t answerDeferredAccessRequests(const AVMediaType& mediaType, bool granted) {
  std::vector<std::function<void(bool)>> answered;
  auto& registry = avCaptureRegistry();
  {
    std::lock_guard lock(registry.mutex);
    auto& deferred = registry.deferred;
    for (auto it = deferred.begin(); it != deferred.end();) {
      if (it->first == mediaType) {
        answered.push_back(std::move(it->second));
        it = deferred.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& completion : answered) {
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [completion = std::move(completion), granted] { completion(granted); });
  }
  return answered.size();
}

std::vector<AVMediaType> accessRequests() {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.requests;
}

void refuseConfigurationLock(AVCaptureDevice& device, std::optional<NSError> error) {
  AVCaptureDeviceControl::refuseLock(device, std::move(error));
}

void refuseFrameDurations(AVCaptureDevice& device, bool refuse) {
  AVCaptureDeviceControl::refuseFrameDurations(device, refuse);
}

void resetCaptureDevices() {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  registry.devices.clear();
  registry.default_overrides.clear();
  registry.answers.clear();
  registry.deferred.clear();
  registry.requests.clear();
}

}  // namespace avfoundation::testing
