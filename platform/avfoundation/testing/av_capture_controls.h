// Test controls for capture devices: connect cameras, choose the default device, answer access
// requests (granted, refused or deferred until answered), refuse configuration locks.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"

namespace avfoundation::testing {

enum class CaptureAccess { granted, refused, deferred };

// Adds a device to the connected list (last) and answers it.
std::shared_ptr<AVCaptureDevice> connectCaptureDevice(AVCaptureDevice::Description description);
// A camera with the given formats, each supporting 1 to `maxFps` frames per second, as '420v'.
AVCaptureDevice::Description cameraDescription(std::string uniqueID, AVCaptureDevicePosition
                                               position, std::vector<CMVideoDimensions> sizes,
                                               double maxFps = 30);
void disconnectAllCaptureDevices();
// Null restores "the first connected device of the type".
void setDefaultCaptureDevice(const AVMediaType& mediaType,
                             std::shared_ptr<AVCaptureDevice> device);

// How later access requests for the media type are answered (granted by default).
void setCaptureAccess(const AVMediaType& mediaType, CaptureAccess access);
// Answers the deferred requests for the media type, on a thread of the system; answers how many.
size_t answerDeferredAccessRequests(const AVMediaType& mediaType, bool granted);
// The media types of every access request so far, in order.
std::vector<AVMediaType> accessRequests();

void refuseConfigurationLock(AVCaptureDevice& device, std::optional<NSError> error);
void refuseFrameDurations(AVCaptureDevice& device, bool refuse);

// No devices, no overrides, every access granted, no requests recorded.
void resetCaptureDevices();

}  // namespace avfoundation::testing
