// Memory a worker hands to the host with a message, so that a large result (a drawn bitmap) is
// not copied through the socket. The worker fills a SharedBuffer (an anonymous memory file sealed
// against growing and shrinking) and sends its descriptor with the message; the host checks the
// descriptor before it maps anything and reads the memory through a read-only MappedBuffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "platform/system/unique_fd.h"

namespace worker {

// A buffer of at most this size is worth keeping for the next message: fresh shared pages cost
// the kernel more than drawing a page into them. A worker may keep such a buffer and hand it over
// again; the host keeps its mapping of the last one until the worker hands over another or ends.
// Larger ones are mapped for their message alone.
inline constexpr size_t kKeptBufferBytes = size_t{64} << 20;

// A mapping of `size` bytes, unmapped when its owner goes.
class Mapping {
 public:
  Mapping() = default;
  Mapping(void* address, size_t size) : address_(address), size_(size) {}
  ~Mapping() { reset(); }
  Mapping(Mapping&& other) noexcept
      : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  Mapping& operator=(Mapping&& other) noexcept {
    if (this != &other) {
      reset();
      address_ = std::exchange(other.address_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  uint8_t* data() const { return static_cast<uint8_t*>(address_); }
  size_t size() const { return size_; }

 private:
  void reset();

  void* address_ = nullptr;
  size_t size_ = 0;
};

// The worker's side: zero-filled memory of a fixed size, mapped for writing. Its pages count
// against the worker's memory limit while it is mapped, as any other memory of the worker.
class SharedBuffer {
 public:
  // nullopt when the memory cannot be had. `bytes` must be at least 1.
  static std::optional<SharedBuffer> create(size_t bytes);

  std::span<uint8_t> bytes() const { return {mapping_.data(), mapping_.size()}; }
  int descriptor() const { return fd_.get(); }

 private:
  SharedBuffer(libsystem::UniqueFd fd, Mapping mapping)
      : fd_(std::move(fd)), mapping_(std::move(mapping)) {}

  libsystem::UniqueFd fd_;
  Mapping mapping_;
};

// The host's side: a worker's buffer mapped read-only. The worker may still write to it; what is
// read from it is as untrusted as any message, but its size cannot change under the reader.
// Copies share one mapping, which goes with the last of them.
class MappedBuffer {
 public:
  // Maps `fd` when it is a sealed memory file of exactly `announcedBytes`, at most `maxBytes`;
  // nullopt for anything else (a pipe, a socket, another size, a file that may still shrink or
  // grow). The descriptor is closed either way: the mapping keeps the memory. When `fd` is the
  // memory of `previous` again (a worker that draws into one buffer time after time), that
  // mapping is shared rather than the memory mapped and its pages faulted in anew.
  static std::optional<MappedBuffer> adopt(libsystem::UniqueFd fd, uint64_t announcedBytes,
                                           size_t maxBytes, const MappedBuffer* previous = nullptr);

  std::span<const uint8_t> bytes() const { return {mapping_->data(), mapping_->size()}; }

 private:
  struct Identity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
  };
  MappedBuffer(std::shared_ptr<const Mapping> mapping, Identity identity)
      : mapping_(std::move(mapping)), identity_(identity) {}

  std::shared_ptr<const Mapping> mapping_;
  // Which memory file it maps; the mapping keeps the file, so no other file takes its number.
  Identity identity_;
};

}  // namespace worker
