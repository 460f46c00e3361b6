#include "platform/worker/message_codec.h"

#include <cstring>

namespace worker {

void MessageWriter::u32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
}

void MessageWriter::patchU32(size_t at, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes_[at++] = static_cast<uint8_t>(value >> shift);
}

void MessageWriter::u64(uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
}

void MessageWriter::f64(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(bits));
  u64(bits);
}

void MessageWriter::string(std::string_view text) {
  u32(static_cast<uint32_t>(text.size()));
  bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void MessageWriter::strings(const std::vector<std::string>& texts) {
  u32(static_cast<uint32_t>(texts.size()));
  for (const auto& text : texts) string(text);
}

bool MessageReader::take(void* out, size_t count) {
  if (!ok_ || bytes_.size() - offset_ < count) {
    ok_ = false;
    std::memset(out, 0, count);
    return false;
  }
  std::memcpy(out, bytes_.data() + offset_, count);
  offset_ += count;
  return true;
}

std::span<const uint8_t> MessageReader::rest() {
  if (!ok_) return {};
  auto tail = bytes_.subspan(offset_);
  offset_ = bytes_.size();
  return tail;
}

uint8_t MessageReader::byte() {
  uint8_t value = 0;
  take(&value, 1);
  return value;
}

uint32_t MessageReader::u32() {
  uint8_t raw[4];
  if (!take(raw, sizeof(raw))) return 0;
  return uint32_t{raw[0]} | uint32_t{raw[1]} << 8 | uint32_t{raw[2]} << 16 | uint32_t{raw[3]} << 24;
}

uint64_t MessageReader::u64() {
  uint64_t low = u32();
  uint64_t high = u32();
  return low | high << 32;
}

double MessageReader::f64() {
  uint64_t bits = u64();
  double value = 0;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

std::string MessageReader::string() {
  uint32_t length = u32();
  if (!ok_ || length > remaining()) {
    ok_ = false;
    return {};
  }
  std::string text(reinterpret_cast<const char*>(bytes_.data() + offset_), length);
  offset_ += length;
  return text;
}

uint32_t MessageReader::count(size_t leastBytesEach) {
  uint32_t items = u32();
  if (!ok_ || (leastBytesEach > 0 && items > remaining() / leastBytesEach)) {
    ok_ = false;
    return 0;
  }
  return items;
}

std::vector<std::string> MessageReader::strings() {
  // Each text takes at least its length field.
  uint32_t items = count(4);
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < items && ok_; ++i) texts.push_back(string());
  return texts;
}

}  // namespace worker
