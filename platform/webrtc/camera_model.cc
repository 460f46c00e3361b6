#include "platform/webrtc/camera_model.h"

#include <algorithm>
#include <utility>

namespace webrtc_model {

CameraModel& cameraModel() {
  // Framework-wide, like the framework's own state; never destroyed.
  static auto* const model = new CameraModel();
  return *model;
}

void CameraModel::capturerMade(const std::shared_ptr<RTCCameraVideoCapturer>& capturer) {
  std::lock_guard lock(mutex_);
  std::erase_if(capturers_, [](const auto& entry) { return entry.expired(); });
  capturers_.push_back(capturer);
}

std::vector<std::shared_ptr<RTCCameraVideoCapturer>> CameraModel::liveCapturers() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<RTCCameraVideoCapturer>> live;
  for (const auto& entry : capturers_) {
    if (auto capturer = entry.lock()) live.push_back(std::move(capturer));
  }
  return live;
}

void CameraModel::failNextStart(NSError error) {
  std::lock_guard lock(mutex_);
  start_failures_.push_back(std::move(error));
}

std::optional<NSError> CameraModel::takeStartFailure() {
  std::lock_guard lock(mutex_);
  if (start_failures_.empty()) return std::nullopt;
  NSError error = std::move(start_failures_.front());
  start_failures_.erase(start_failures_.begin());
  return error;
}

void CameraModel::setHoldStops(bool hold) {
  std::lock_guard lock(mutex_);
  hold_stops_ = hold;
}

bool CameraModel::holdStopCompletion(const std::shared_ptr<RTCCameraVideoCapturer>& capturer,
                                     std::function<void()>& completion) {
  std::lock_guard lock(mutex_);
  if (!hold_stops_) return false;
  held_.emplace_back(capturer, std::move(completion));
  return true;
}

std::vector<std::pair<std::shared_ptr<RTCCameraVideoCapturer>, std::function<void()>>>
CameraModel::takeHeldStops() {
  std::lock_guard lock(mutex_);
  return std::exchange(held_, {});
}

void CameraModel::reset() {
  std::lock_guard lock(mutex_);
  capturers_.clear();
  start_failures_.clear();
  hold_stops_ = false;
  held_.clear();
}

}  // namespace webrtc_model
