#include "platform/worker/worker_frame.h"

#include <algorithm>

namespace worker {

std::vector<uint8_t> frameHeader(size_t length) {
  return {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
          static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
}

uint32_t frameLength(const uint8_t* header) {
  return uint32_t{header[0]} | uint32_t{header[1]} << 8 | uint32_t{header[2]} << 16 |
         uint32_t{header[3]} << 24;
}

uint8_t* FrameReader::space(size_t* wanted) {
  if (header_filled_ < kFrameHeaderBytes) {
    *wanted = kFrameHeaderBytes - header_filled_;
    return header_ + header_filled_;
  }
  if (payload_.size() == payload_filled_) {
    payload_.resize(std::min(length_, payload_filled_ + kGrowthStep));
  }
  *wanted = payload_.size() - payload_filled_;
  return payload_.data() + payload_filled_;
}

bool FrameReader::commit(size_t count) {
  if (header_filled_ < kFrameHeaderBytes) {
    header_filled_ += count;
    if (header_filled_ == kFrameHeaderBytes) {
      length_ = frameLength(header_);
      if (length_ > max_message_bytes_) return false;
    }
    return true;
  }
  payload_filled_ += count;
  return true;
}

std::optional<std::vector<uint8_t>> FrameReader::take() {
  if (header_filled_ < kFrameHeaderBytes || payload_filled_ < length_) return std::nullopt;
  std::vector<uint8_t> frame = std::move(payload_);
  frame.resize(length_);
  payload_ = {};
  header_filled_ = 0;
  payload_filled_ = 0;
  length_ = 0;
  return frame;
}

}  // namespace worker
