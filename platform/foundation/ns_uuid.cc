#include "platform/foundation/ns_uuid.h"

#include <cctype>
#include <random>

NSUUID::NSUUID() {
  std::random_device device;
  for (size_t i = 0; i < bytes_.size(); i += 4) {
    uint32_t word = device();
    for (size_t k = 0; k < 4; ++k) bytes_[i + k] = static_cast<uint8_t>(word >> (8 * k));
  }
  bytes_[6] = static_cast<uint8_t>((bytes_[6] & 0x0F) | 0x40);
  bytes_[8] = static_cast<uint8_t>((bytes_[8] & 0x3F) | 0x80);
}

std::optional<NSUUID> NSUUID::fromString(const std::string& text) {
  if (text.size() != 36) return std::nullopt;
  std::array<uint8_t, 16> bytes{};
  size_t out = 0;
  for (size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return std::nullopt;
    }
    bytes[out++] = static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return NSUUID(bytes);
}

std::string NSUUID::UUIDString() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kDigits[bytes_[i] >> 4]);
    text.push_back(kDigits[bytes_[i] & 0x0F]);
  }
  return text;
}
