// Universally unique identifiers (random, version 4).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class NSUUID {
 public:
  // A fresh random identifier.
  NSUUID();
  static std::optional<NSUUID> fromString(const std::string& text);

  // Upper-case hexadecimal with hyphens, 8-4-4-4-12.
  std::string UUIDString() const;
  const std::array<uint8_t, 16>& bytes() const { return bytes_; }

  friend bool operator==(const NSUUID&, const NSUUID&) = default;

 private:
  explicit NSUUID(const std::array<uint8_t, 16>& bytes) : bytes_(bytes) {}
  std::array<uint8_t, 16> bytes_{};
};
