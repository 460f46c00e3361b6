// The process-wide state behind capture devices: what is connected, the default devices and the
// user's answers to access requests. Shared by the devices and their test controls.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"

namespace avfoundation {

enum class AVCaptureAccessAnswer { granted, refused, deferred };

struct AVCaptureRegistry {
  std::mutex mutex;
  std::vector<std::shared_ptr<AVCaptureDevice>> devices;
  // When unset, the first connected device of the media type is the default.
  std::map<AVMediaType, std::shared_ptr<AVCaptureDevice>> default_overrides;
  std::map<AVMediaType, AVCaptureAccessAnswer> answers;
  std::vector<std::pair<AVMediaType, std::function<void(bool)>>> deferred;
  std::vector<AVMediaType> requests;
};

AVCaptureRegistry& avCaptureRegistry();

}  // namespace avfoundation
