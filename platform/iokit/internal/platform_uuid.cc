#include "platform/iokit/internal/platform_uuid.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace iokit::internal {
namespace {

// The machine id keys the HMAC; this label is the message, so the result is specific to this
// use and says nothing about the id itself.
constexpr std::string_view kDerivationLabel = "IOPlatformUUID";
constexpr size_t kMachineIdDigits = 32;

std::optional<std::string> readSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // One byte more than a well-formed file holds tells a longer file apart.
  std::array<char, kMachineIdDigits + 2> buffer;
  size_t length = 0;
  while (length < buffer.size()) {
    ssize_t got = ::read(fd, buffer.data() + length, buffer.size() - length);
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  ::close(fd);
  return std::string(buffer.data(), length);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::array<uint8_t, 16>> parseMachineId(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (text.size() != kMachineIdDigits) return std::nullopt;
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < bytes.size(); ++i) {
    int high = hexValue(text[2 * i]);
    int low = hexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  OPENSSL_cleanse(text.data(), text.size());
  return bytes;
}

std::string formatUUID(const uint8_t* bytes) {
  std::string text;
  char digits[3];
  for (size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

}  // namespace

std::optional<std::string> platformUUIDFromMachineIdFile(const std::string& path) {
  auto text = readSmallFile(path);
  if (!text) return std::nullopt;
  auto machine_id = parseMachineId(std::move(*text));
  if (!machine_id) return std::nullopt;
  std::array<uint8_t, 32> mac{};
  size_t mac_length = 0;
  bool derived =
      EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, machine_id->data(), machine_id->size(),
                reinterpret_cast<const unsigned char*>(kDerivationLabel.data()),
                kDerivationLabel.size(), mac.data(), mac.size(), &mac_length) != nullptr;
  OPENSSL_cleanse(machine_id->data(), machine_id->size());
  if (!derived || mac_length < 16) return std::nullopt;
  // A well-formed name-based UUID: version 8 (custom), RFC 4122 variant.
  mac[6] = static_cast<uint8_t>((mac[6] & 0x0F) | 0x80);
  mac[8] = static_cast<uint8_t>((mac[8] & 0x3F) | 0x80);
  return formatUUID(mac.data());
}

}  // namespace iokit::internal
