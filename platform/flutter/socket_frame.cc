#include "platform/flutter/socket_frame.h"

#include "platform/foundation/utf8.h"

namespace flutter {
namespace {

template <typename T>
void appendLittleEndian(FlutterBytes& out, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

template <typename T>
T readLittleEndian(std::span<const uint8_t> bytes) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
  return value;
}

bool isReply(SocketFrameKind kind) {
  return kind == SocketFrameKind::replyFromHost || kind == SocketFrameKind::replyFromDartSide;
}

}  // namespace

std::optional<FlutterBytes> encodeSocketFrameHead(SocketFrameKind kind, uint32_t id,
                                                  std::string_view channel, bool hasPayload,
                                                  size_t payloadSize, uint32_t maxFrameLength) {
  if (channel.size() > UINT16_MAX) return std::nullopt;
  const size_t head_length = kSocketFrameFixedFieldsSize + channel.size();
  if (head_length > maxFrameLength || payloadSize > maxFrameLength - head_length) {
    return std::nullopt;
  }
  FlutterBytes out;
  out.reserve(kSocketFrameLengthFieldSize + head_length);
  appendLittleEndian(out, static_cast<uint32_t>(head_length + payloadSize));
  out.push_back(static_cast<uint8_t>(kind));
  appendLittleEndian(out, id);
  appendLittleEndian(out, static_cast<uint16_t>(channel.size()));
  out.insert(out.end(), channel.begin(), channel.end());
  out.push_back(hasPayload ? 1 : 0);
  return out;
}

std::optional<FlutterBytes> encodeSocketFrame(const SocketFrame& frame, uint32_t maxFrameLength) {
  const size_t payload_size = frame.payload ? frame.payload->size() : 0;
  auto out = encodeSocketFrameHead(frame.kind, frame.id, frame.channel, frame.payload.has_value(),
                                   payload_size, maxFrameLength);
  if (!out) return std::nullopt;
  if (frame.payload) {
    out->reserve(out->size() + payload_size);
    out->insert(out->end(), frame.payload->begin(), frame.payload->end());
  }
  return out;
}

void SocketFrameDecoder::append(std::span<const uint8_t> bytes) {
  if (hasFault()) return;
  // Drop what was consumed before growing, so that a long stream keeps a small buffer.
  if (read_offset_ > 0 && read_offset_ == buffer_.size()) {
    buffer_.clear();
    read_offset_ = 0;
  } else if (read_offset_ > buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(read_offset_));
    read_offset_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<SocketFrame> SocketFrameDecoder::next() {
  if (hasFault()) return std::nullopt;
  std::span<const uint8_t> available(buffer_.data() + read_offset_, buffer_.size() - read_offset_);
  if (available.size() < kSocketFrameLengthFieldSize) return std::nullopt;
  // The length is judged as soon as it arrives, before any of the body is waited for.
  const uint32_t length = readLittleEndian<uint32_t>(available);
  if (length < kSocketFrameFixedFieldsSize) {
    fail("frame length " + std::to_string(length) + " is shorter than a frame's fixed fields");
    return std::nullopt;
  }
  if (length > max_frame_length_) {
    fail("frame length " + std::to_string(length) + " exceeds the limit of " +
         std::to_string(max_frame_length_) + " bytes");
    return std::nullopt;
  }
  if (available.size() - kSocketFrameLengthFieldSize < length) return std::nullopt;
  auto frame = parseBody(available.subspan(kSocketFrameLengthFieldSize, length));
  if (frame) read_offset_ += kSocketFrameLengthFieldSize + length;
  return frame;
}

uint32_t SocketFrameDecoder::partialFrameLength() const {
  std::span<const uint8_t> available(buffer_.data() + read_offset_, buffer_.size() - read_offset_);
  if (available.size() < kSocketFrameLengthFieldSize) return 0;
  return readLittleEndian<uint32_t>(available);
}

std::optional<SocketFrame> SocketFrameDecoder::parseBody(std::span<const uint8_t> body) {
  SocketFrame frame;
  const uint8_t kind = body[0];
  if (kind < 1 || kind > 4) {
    fail("unknown frame kind " + std::to_string(kind));
    return std::nullopt;
  }
  frame.kind = static_cast<SocketFrameKind>(kind);
  frame.id = readLittleEndian<uint32_t>(body.subspan(1));
  const uint16_t name_length = readLittleEndian<uint16_t>(body.subspan(5));
  auto rest = body.subspan(7);
  // One byte after the name is the has-payload flag.
  if (name_length >= rest.size()) {
    fail("channel name of " + std::to_string(name_length) + " bytes overruns its frame");
    return std::nullopt;
  }
  frame.channel.assign(rest.begin(), rest.begin() + name_length);
  if (!foundation::isValidUtf8(frame.channel)) {
    fail("channel name is not valid UTF-8");
    return std::nullopt;
  }
  if (isReply(frame.kind) != frame.channel.empty()) {
    fail(isReply(frame.kind) ? "a reply frame carries a channel name"
                             : "a message frame has no channel name");
    return std::nullopt;
  }
  const uint8_t has_payload = rest[name_length];
  auto payload = rest.subspan(name_length + 1u);
  if (has_payload > 1) {
    fail("has-payload byte is " + std::to_string(has_payload) + ", not 0 or 1");
    return std::nullopt;
  }
  if (has_payload == 0 && !payload.empty()) {
    fail("a frame without payload has " + std::to_string(payload.size()) + " bytes after it");
    return std::nullopt;
  }
  if (has_payload == 1) frame.payload.emplace(payload.begin(), payload.end());
  return frame;
}

void SocketFrameDecoder::fail(std::string reason) {
  fault_ = std::move(reason);
  buffer_.clear();
  read_offset_ = 0;
}

}  // namespace flutter
