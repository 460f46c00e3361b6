// Immutable data objects of CoreFoundation: each owns a private copy of the bytes it was made
// from, so it never refers to the caller's buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

using CFIndex = long;

class CFData {
 public:
  explicit CFData(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

using CFDataRef = std::shared_ptr<const CFData>;

// A copy of `length` bytes at `bytes`; null for a negative length, missing bytes, or when the
// memory cannot be had.
CFDataRef CFDataCreate(const uint8_t* bytes, CFIndex length);
CFIndex CFDataGetLength(const CFDataRef& data);
const uint8_t* CFDataGetBytePtr(const CFDataRef& data);
