#include "platform/worker/worker_frame.h"

#include <algorithm>

namespace worker {
namespace {

void putLittleEndian(std::vector<uint8_t>& out, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t littleEndian(const uint8_t* bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) value |= uint64_t{bytes[i]} << (8 * i);
  return value;
}

}  // namespace

std::vector<uint8_t> frameHeader(size_t length) {
  std::vector<uint8_t> header;
  putLittleEndian(header, length, kFrameHeaderBytes);
  return header;
}

std::vector<uint8_t> bufferFrameHeader(size_t length, uint64_t bufferBytes) {
  std::vector<uint8_t> header;
  putLittleEndian(header, kWithBufferFlag | length, kFrameHeaderBytes);
  putLittleEndian(header, bufferBytes, 8);
  return header;
}

uint32_t frameLength(const uint8_t* header) {
  return static_cast<uint32_t>(littleEndian(header, kFrameHeaderBytes));
}

uint8_t* FrameReader::space(size_t* wanted) {
  if (header_filled_ < headerBytes()) {
    *wanted = headerBytes() - header_filled_;
    return header_ + header_filled_;
  }
  if (payload_.size() == payload_filled_) {
    payload_.resize(std::min(length_, payload_filled_ + kGrowthStep));
  }
  *wanted = payload_.size() - payload_filled_;
  return payload_.data() + payload_filled_;
}

bool FrameReader::commit(size_t count) {
  if (header_filled_ < headerBytes()) {
    header_filled_ += count;
    if (header_filled_ == kFrameHeaderBytes) {
      uint32_t field = frameLength(header_);
      with_buffer_ = (field & kWithBufferFlag) != 0;
      if (with_buffer_ && !takes_buffers_) return false;
      length_ = field & ~kWithBufferFlag;
      if (length_ > max_message_bytes_) return false;
    }
    return true;
  }
  payload_filled_ += count;
  return true;
}

std::optional<Frame> FrameReader::take() {
  if (!headerDone() || payload_filled_ < length_) return std::nullopt;
  Frame frame;
  frame.message = std::move(payload_);
  frame.message.resize(length_);
  if (with_buffer_) {
    frame.bufferBytes = littleEndian(header_ + kFrameHeaderBytes, 8);
  }
  payload_ = {};
  header_filled_ = 0;
  with_buffer_ = false;
  payload_filled_ = 0;
  length_ = 0;
  return frame;
}

}  // namespace worker
