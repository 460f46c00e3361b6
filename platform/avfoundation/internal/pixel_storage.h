// The memory behind pixel buffers. Tests can make it run out, as a limited address space or a
// busy machine does, without any allocation of that size being made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace avfoundation::internal {

// Storage of `bytes`, zeroed, starting at an address aligned to kPixelStorageAlignment; null when
// the memory cannot be had (never an exception: buffers are made on pool workers).
uint8_t* allocatePixelStorage(size_t bytes);
void freePixelStorage(uint8_t* storage);
inline constexpr size_t kPixelStorageAlignment = 64;

// Whether a buffer of this size and layout may be made (its memory aside).
struct PixelBufferShape {
  size_t width, height, bytesPerRowAlignment, trailingBytes;
};
bool isPixelBufferShapeAllowed(const PixelBufferShape& shape);

// Storage of more than `bytes` at once cannot be had; nullopt lifts the ceiling (the default).
void setPixelStorageCeiling(std::optional<size_t> bytes);

}  // namespace avfoundation::internal
