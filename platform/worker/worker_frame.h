// The framing of messages between the host and a worker: a 32-bit little-endian length, then
// that many bytes. Either side refuses a length above the largest message it agreed to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace worker {

inline constexpr size_t kFrameHeaderBytes = 4;

std::vector<uint8_t> frameHeader(size_t length);
uint32_t frameLength(const uint8_t* header);

// Reads one frame at a time from bytes as they arrive, never allocating more than has arrived
// (a peer that promises a large message and sends nothing costs nothing).
class FrameReader {
 public:
  explicit FrameReader(size_t maxMessageBytes) : max_message_bytes_(maxMessageBytes) {}

  // Where the next bytes go and how many are wanted; never more than the frame still needs.
  uint8_t* space(size_t* wanted);
  // `count` bytes were written at space(). Answers false when the frame breaks the framing.
  bool commit(size_t count);
  // The frame, once whole; the reader then starts on the next one.
  std::optional<std::vector<uint8_t>> take();
  // Bytes of a frame begun but not finished.
  bool midFrame() const { return header_filled_ > 0; }

 private:
  static constexpr size_t kGrowthStep = size_t{1} << 20;

  const size_t max_message_bytes_;
  uint8_t header_[kFrameHeaderBytes] = {};
  size_t header_filled_ = 0;
  size_t length_ = 0;
  std::vector<uint8_t> payload_;
  size_t payload_filled_ = 0;
};

}  // namespace worker
