#include "platform/avfoundation/internal/pixel_storage.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>

namespace avfoundation::internal {
namespace {

constexpr std::align_val_t kAlignment{kPixelStorageAlignment};

// The address space is the process's: so is the ceiling that stands for it.
std::atomic<size_t>& ceiling() {
  static std::atomic<size_t> bytes{std::numeric_limits<size_t>::max()};
  return bytes;
}

}  // namespace

uint8_t* allocatePixelStorage(size_t bytes) {
  if (bytes > ceiling().load(std::memory_order_relaxed)) return nullptr;
  auto* storage = static_cast<uint8_t*>(::operator new[](bytes, kAlignment, std::nothrow));
  if (storage != nullptr) std::memset(storage, 0, bytes);
  return storage;
}

void freePixelStorage(uint8_t* storage) { ::operator delete[](storage, kAlignment); }

void setPixelStorageCeiling(std::optional<size_t> bytes) {
  ceiling().store(bytes.value_or(std::numeric_limits<size_t>::max()), std::memory_order_relaxed);
}

}  // namespace avfoundation::internal
