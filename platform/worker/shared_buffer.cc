#include "platform/worker/shared_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace worker {
namespace {

// What makes the size fixed: without these the worker could shrink the file under the host's
// mapping (whose reads past the end would then fault) or grow it past its own limit.
constexpr int kRequiredSeals = F_SEAL_GROW | F_SEAL_SHRINK;

}  // namespace

void Mapping::reset() {
  if (address_ != nullptr) ::munmap(address_, size_);
  address_ = nullptr;
  size_ = 0;
}

std::optional<SharedBuffer> SharedBuffer::create(size_t bytes) {
  if (bytes == 0) return std::nullopt;
  libsystem::UniqueFd fd(::memfd_create("worker-buffer", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (!fd || ::ftruncate(fd.get(), static_cast<off_t>(bytes)) != 0 ||
      ::fcntl(fd.get(), F_ADD_SEALS, kRequiredSeals | F_SEAL_SEAL) != 0) {
    return std::nullopt;
  }
  // Taken in one go rather than a fault per page while drawing; the address-space limit holds it
  // like any other mapping.
  void* address =
      ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd.get(), 0);
  if (address == MAP_FAILED) return std::nullopt;
  return SharedBuffer(std::move(fd), Mapping(address, bytes));
}

std::optional<MappedBuffer> MappedBuffer::adopt(libsystem::UniqueFd fd, uint64_t announcedBytes,
                                                size_t maxBytes, const MappedBuffer* previous) {
  if (announcedBytes == 0 || announcedBytes > maxBytes) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
      static_cast<uint64_t>(status.st_size) != announcedBytes) {
    return std::nullopt;
  }
  // Only memory files keep seals; anything else answers an error here.
  int seals = ::fcntl(fd.get(), F_GET_SEALS);
  if (seals < 0 || (seals & kRequiredSeals) != kRequiredSeals) return std::nullopt;
  const Identity identity{static_cast<uint64_t>(status.st_dev),
                          static_cast<uint64_t>(status.st_ino)};
  if (previous != nullptr && previous->identity_ == identity) {
    return MappedBuffer(previous->mapping_, identity);  // the same file, so the same size
  }
  const auto size = static_cast<size_t>(announcedBytes);
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd.get(), 0);
  if (address == MAP_FAILED) return std::nullopt;
  return MappedBuffer(std::make_shared<const Mapping>(address, size), identity);
}

}  // namespace worker
