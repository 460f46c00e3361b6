// The framing of messages between the host and a worker: a 32-bit little-endian length, then
// that many bytes. Either side refuses a length above the largest message it agreed to.
//
// A message from a worker may come with a shared buffer (shared_buffer.h): its length then has
// the top bit set and is followed by the buffer's size (64-bit little-endian), and the buffer's
// descriptor rides with the first byte of that header. The length of any message is far below
// the top bit, so a peer that takes no buffers reads such a header as a message too long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace worker {

inline constexpr size_t kFrameHeaderBytes = 4;
inline constexpr size_t kBufferFrameHeaderBytes = kFrameHeaderBytes + 8;
inline constexpr uint32_t kWithBufferFlag = uint32_t{1} << 31;
// The longest message either side may agree to.
inline constexpr size_t kMaxFrameLength = kWithBufferFlag - 1;

std::vector<uint8_t> frameHeader(size_t length);
// The header of a message of `length` bytes that comes with a buffer of `bufferBytes`.
std::vector<uint8_t> bufferFrameHeader(size_t length, uint64_t bufferBytes);
uint32_t frameLength(const uint8_t* header);

// A whole message, and the size its header announced for the buffer that came with it.
struct Frame {
  std::vector<uint8_t> message;
  std::optional<uint64_t> bufferBytes;
};

// Reads one frame at a time from bytes as they arrive, never allocating more than has arrived
// (a peer that promises a large message and sends nothing costs nothing).
class FrameReader {
 public:
  // Headers that announce a buffer are refused unless `takesBuffers`.
  explicit FrameReader(size_t maxMessageBytes, bool takesBuffers = false)
      : max_message_bytes_(maxMessageBytes), takes_buffers_(takesBuffers) {}

  // Where the next bytes go and how many are wanted; never more than the frame still needs.
  uint8_t* space(size_t* wanted);
  // `count` bytes were written at space(). Answers false when the frame breaks the framing.
  bool commit(size_t count);
  // The frame, once whole; the reader then starts on the next one.
  std::optional<Frame> take();
  // Bytes of a frame begun but not finished.
  bool midFrame() const { return header_filled_ > 0; }
  // The whole header is in and announced a buffer.
  bool announcedBuffer() const { return headerDone() && with_buffer_; }
  bool headerDone() const { return header_filled_ == headerBytes(); }

 private:
  static constexpr size_t kGrowthStep = size_t{1} << 20;

  size_t headerBytes() const { return with_buffer_ ? kBufferFrameHeaderBytes : kFrameHeaderBytes; }

  const size_t max_message_bytes_;
  const bool takes_buffers_;
  uint8_t header_[kBufferFrameHeaderBytes] = {};
  size_t header_filled_ = 0;
  bool with_buffer_ = false;
  size_t length_ = 0;
  std::vector<uint8_t> payload_;
  size_t payload_filled_ = 0;
};

}  // namespace worker
