// A secret key for symmetric ciphers. Its bytes are wiped when it goes away.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

enum class SymmetricKeySize : int { bits128 = 128, bits192 = 192, bits256 = 256 };

class SymmetricKey {
 public:
  // A fresh random key of the given size.
  explicit SymmetricKey(SymmetricKeySize size);
  // A key made of the given bytes (any length; ciphers check the size they need).
  explicit SymmetricKey(std::span<const uint8_t> data);
  SymmetricKey(const SymmetricKey&) = default;
  SymmetricKey& operator=(const SymmetricKey&) = default;
  ~SymmetricKey();

  int bitCount() const { return static_cast<int>(bytes_.size() * 8); }
  const std::vector<uint8_t>& data() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};
