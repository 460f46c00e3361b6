// The frames of the socket transport between the host and an out-of-process Dart side. Each frame
// is: uint32 length of the rest, uint8 kind, uint32 id, uint16 channel-name length, the name,
// uint8 has-payload (0 or 1), the payload bytes; integers little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/flutter_codec.h"

namespace flutter {

enum class SocketFrameKind : uint8_t {
  messageFromDartSide = 1,  // name set, id chosen by the Dart side
  replyFromHost = 2,        // the id of the message it answers, no name
  messageFromHost = 3,      // name set, id chosen by the host
  replyFromDartSide = 4,    // the id of the message it answers, no name
};

struct SocketFrame {
  SocketFrameKind kind = SocketFrameKind::messageFromDartSide;
  uint32_t id = 0;
  std::string channel;  // empty in replies
  // nullopt: a null message, or no reply.
  FlutterBinaryMessage payload;

  friend bool operator==(const SocketFrame&, const SocketFrame&) = default;
};

// Bytes of the length field, and of the fixed fields it counts.
inline constexpr size_t kSocketFrameLengthFieldSize = 4;
inline constexpr size_t kSocketFrameFixedFieldsSize = 1 + 4 + 2 + 1;
// Frames are bounded in both directions, so that a hostile length cannot make either end
// allocate without limit. Counts the bytes after the length field.
inline constexpr uint32_t kMaxSocketFrameLength = 64u << 20;

// The frame's bytes, length field included; nullopt when it would exceed `maxFrameLength` or its
// channel name does not fit its 16-bit length.
std::optional<FlutterBytes> encodeSocketFrame(const SocketFrame& frame,
                                              uint32_t maxFrameLength = kMaxSocketFrameLength);
// The frame's bytes up to its payload, for a payload of `payloadSize` bytes (0 and `hasPayload`
// false for none), so that a large payload can be sent as it is, without copying it into a frame.
// nullopt as for encodeSocketFrame.
std::optional<FlutterBytes> encodeSocketFrameHead(SocketFrameKind kind, uint32_t id,
                                                  std::string_view channel, bool hasPayload,
                                                  size_t payloadSize,
                                                  uint32_t maxFrameLength = kMaxSocketFrameLength);

// Cuts a byte stream into frames. The stream is hostile: a length out of range, an unknown kind,
// a name that overruns its frame or is not UTF-8, a name where none belongs (or none where one
// must be), a has-payload byte other than 0 or 1, or bytes after an absent payload are faults.
// A fault is final: the stream cannot be resynchronised.
class SocketFrameDecoder {
 public:
  explicit SocketFrameDecoder(uint32_t maxFrameLength = kMaxSocketFrameLength)
      : max_frame_length_(maxFrameLength) {}

  void append(std::span<const uint8_t> bytes);
  // The next whole frame; nullopt when more bytes are needed or the stream is at fault.
  std::optional<SocketFrame> next();

  bool hasFault() const { return !fault_.empty(); }
  const std::string& fault() const { return fault_; }
  // True while bytes of an incomplete frame are buffered.
  bool hasPartialFrame() const { return read_offset_ < buffer_.size(); }
  // The length field of the incomplete frame buffered, once it has arrived; 0 before.
  uint32_t partialFrameLength() const;

 private:
  std::optional<SocketFrame> parseBody(std::span<const uint8_t> body);
  void fail(std::string reason);

  uint32_t max_frame_length_;
  std::vector<uint8_t> buffer_;
  size_t read_offset_ = 0;
  std::string fault_;
};

}  // namespace flutter
