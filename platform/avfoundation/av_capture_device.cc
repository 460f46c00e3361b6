#include "platform/avfoundation/av_capture_device.h"

#include <algorithm>

#include "platform/avfoundation/av_capture_device_discovery_session.h"
#include "platform/avfoundation/av_capture_registry.h"
#include "platform/dispatch/dispatch.h"

namespace avfoundation {

AVCaptureRegistry& avCaptureRegistry() {
  // The system's device list is process-wide; never destroyed, as system threads may use it.
  static auto* const registry = new AVCaptureRegistry();
  return *registry;
}

}  // namespace avfoundation

using avfoundation::AVCaptureAccessAnswer;
using avfoundation::avCaptureRegistry;

void AVCaptureDevice::requestAccessForMediaType(const AVMediaType& mediaType,
                                                std::function<void(bool granted)> completion) {
  auto& registry = avCaptureRegistry();
  AVCaptureAccessAnswer answer;
  {
    std::lock_guard lock(registry.mutex);
    registry.requests.push_back(mediaType);
    auto found = registry.answers.find(mediaType);
    answer = found == registry.answers.end() ? AVCaptureAccessAnswer::granted : found->second;
    if (answer == AVCaptureAccessAnswer::deferred) {
      registry.deferred.emplace_back(mediaType, std::move(completion));
      return;
    }
  }
  const bool granted = answer == AVCaptureAccessAnswer::granted;
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [completion = std::move(completion), granted] { completion(granted); });
}

std::shared_ptr<AVCaptureDevice> AVCaptureDevice::defaultDeviceWithMediaType(
    const AVMediaType& mediaType) {
  auto& registry = avCaptureRegistry();
  std::lock_guard lock(registry.mutex);
  if (auto found = registry.default_overrides.find(mediaType);
      found != registry.default_overrides.end()) {
    return found->second;
  }
  for (const auto& device : registry.devices) {
    if (device->mediaType() == mediaType) return device;
  }
  return nullptr;
}

bool AVCaptureDevice::isTorchModeSupported(AVCaptureTorchMode mode) const {
  const auto& modes = description_.torchModes;
  return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

AVCaptureTorchMode AVCaptureDevice::torchMode() const {
  std::lock_guard lock(mutex_);
  return torch_mode_;
}

void AVCaptureDevice::requireLocked(const char* what) const {
  if (!locked_) {
    throw NSInvalidArgumentException(std::string(what) + " requires lockForConfiguration");
  }
}

void AVCaptureDevice::setTorchMode(AVCaptureTorchMode mode) {
  std::lock_guard lock(mutex_);
  requireLocked("setTorchMode");
  if (!isTorchModeSupported(mode)) throw NSInvalidArgumentException("torch mode not supported");
  torch_mode_ = mode;
}

bool AVCaptureDevice::lockForConfiguration(NSError* error) {
  std::lock_guard lock(mutex_);
  if (lock_refusal_) {
    if (error != nullptr) *error = *lock_refusal_;
    return false;
  }
  locked_ = true;
  return true;
}

void AVCaptureDevice::unlockForConfiguration() {
  std::lock_guard lock(mutex_);
  locked_ = false;
}

void AVCaptureDevice::setActiveVideoMinFrameDuration(CMTime duration) {
  std::lock_guard lock(mutex_);
  requireLocked("setActiveVideoMinFrameDuration");
  if (refuses_frame_durations_) throw NSInvalidArgumentException("unsupported frame duration");
  min_frame_duration_ = duration;
}

void AVCaptureDevice::setActiveVideoMaxFrameDuration(CMTime duration) {
  std::lock_guard lock(mutex_);
  requireLocked("setActiveVideoMaxFrameDuration");
  if (refuses_frame_durations_) throw NSInvalidArgumentException("unsupported frame duration");
  max_frame_duration_ = duration;
}

CMTime AVCaptureDevice::activeVideoMinFrameDuration() const {
  std::lock_guard lock(mutex_);
  return min_frame_duration_;
}

CMTime AVCaptureDevice::activeVideoMaxFrameDuration() const {
  std::lock_guard lock(mutex_);
  return max_frame_duration_;
}

std::shared_ptr<AVCaptureDeviceDiscoverySession>
AVCaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
    const std::vector<AVCaptureDeviceType>& deviceTypes, const AVMediaType& mediaType,
    AVCaptureDevicePosition position) {
  std::vector<std::shared_ptr<AVCaptureDevice>> found;
  auto& registry = avCaptureRegistry();
  {
    std::lock_guard lock(registry.mutex);
    for (const auto& device : registry.devices) {
      const bool typed = std::find(deviceTypes.begin(), deviceTypes.end(),
                                   device->deviceType()) != deviceTypes.end();
      const bool placed =
          position == AVCaptureDevicePositionUnspecified || device->position() == position;
      if (typed && placed && device->mediaType() == mediaType) found.push_back(device);
    }
  }
  return std::make_shared<AVCaptureDeviceDiscoverySession>(std::move(found));
}
