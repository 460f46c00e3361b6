// The framework's camera state shared by camera capturers and their test controls: capturers
// made, start failures to report and stop completions held back.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/foundation/ns_error.h"

class RTCCameraVideoCapturer;

namespace webrtc_model {

class CameraModel {
 public:
  void capturerMade(const std::shared_ptr<RTCCameraVideoCapturer>& capturer);
  std::vector<std::shared_ptr<RTCCameraVideoCapturer>> liveCapturers();

  void failNextStart(NSError error);
  std::optional<NSError> takeStartFailure();

  void setHoldStops(bool hold);
  // True when the completion was kept for a later release.
  bool holdStopCompletion(const std::shared_ptr<RTCCameraVideoCapturer>& capturer,
                          std::function<void()>& completion);
  std::vector<std::pair<std::shared_ptr<RTCCameraVideoCapturer>, std::function<void()>>>
  takeHeldStops();

  void reset();

 private:
  std::mutex mutex_;
  std::vector<std::weak_ptr<RTCCameraVideoCapturer>> capturers_;
  std::vector<NSError> start_failures_;
  bool hold_stops_ = false;
  std::vector<std::pair<std::shared_ptr<RTCCameraVideoCapturer>, std::function<void()>>> held_;
};

CameraModel& cameraModel();

}  // namespace webrtc_model
