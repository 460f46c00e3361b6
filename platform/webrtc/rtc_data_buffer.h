// One data-channel message: bytes, marked binary or text.
#pragma once

#include <cstdint>
#include <vector>

class RTCDataBuffer {
 public:
  RTCDataBuffer(std::vector<uint8_t> data, bool isBinary)
      : data_(std::move(data)), is_binary_(isBinary) {}

  const std::vector<uint8_t>& data() const { return data_; }
  bool isBinary() const { return is_binary_; }

 private:
  std::vector<uint8_t> data_;
  bool is_binary_;
};
