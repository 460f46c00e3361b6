// A capture session: the inputs (devices) it captures from.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"

class AVCaptureDeviceInput {
 public:
  explicit AVCaptureDeviceInput(std::shared_ptr<AVCaptureDevice> device)
      : device_(std::move(device)) {}
  const std::shared_ptr<AVCaptureDevice>& device() const { return device_; }

 private:
  std::shared_ptr<AVCaptureDevice> device_;
};

class AVCaptureSession {
 public:
  std::vector<std::shared_ptr<AVCaptureDeviceInput>> inputs() const {
    std::lock_guard lock(mutex_);
    return inputs_;
  }
  void addInput(std::shared_ptr<AVCaptureDeviceInput> input) {
    std::lock_guard lock(mutex_);
    inputs_.push_back(std::move(input));
  }
  void removeAllInputs() {
    std::lock_guard lock(mutex_);
    inputs_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<AVCaptureDeviceInput>> inputs_;
};
