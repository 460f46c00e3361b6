// The replacement of operator new that feeds AllocationMeter. Each block carries its size in a
// header in front of it, so that every form of delete can count it back.
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/flutter/testing/allocation_meter.h"

namespace {

namespace counts = flutter::testing::allocation_counts;

// Keeps the block's payload aligned as malloc's is.
constexpr size_t kHeader = alignof(std::max_align_t);

struct Header {
  size_t size;
  void* base;
};
static_assert(sizeof(Header) <= kHeader);

void* allocate(size_t size, size_t alignment) {
  static const bool counting = (counts::setCounting(), true);
  (void)counting;
  const size_t offset = std::max(kHeader, alignment);
  void* base = nullptr;
  if (alignment <= kHeader) {
    base = std::malloc(size + offset);
  } else if (::posix_memalign(&base, alignment, size + offset) != 0) {
    base = nullptr;
  }
  if (base == nullptr) return nullptr;
  auto* block = static_cast<char*>(base) + offset;
  *reinterpret_cast<Header*>(block - sizeof(Header)) = Header{size, base};
  counts::allocated(size);
  return block;
}

void release(void* block) {
  if (block == nullptr) return;
  const Header header = *reinterpret_cast<Header*>(static_cast<char*>(block) - sizeof(Header));
  counts::freed(header.size);
  std::free(header.base);
}

void* allocateOrThrow(size_t size, size_t alignment) {
  for (;;) {
    if (void* block = allocate(size, alignment)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size, kHeader); }
void* operator new[](size_t size) { return allocateOrThrow(size, kHeader); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size, kHeader); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return allocate(size, kHeader);
}
void* operator new(size_t size, std::align_val_t alignment) {
  return allocateOrThrow(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return allocateOrThrow(size, static_cast<size_t>(alignment));
}
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, size_t) noexcept { release(block); }
void operator delete[](void* block, size_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
