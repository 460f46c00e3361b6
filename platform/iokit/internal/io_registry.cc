#include "platform/iokit/internal/io_registry.h"

#include "platform/iokit/internal/platform_uuid.h"

namespace iokit::internal {

IORegistry& IORegistry::shared() {
  static auto* const registry = new IORegistry();
  return *registry;
}

io_service_t IORegistry::openPlatformExpert() {
  std::lock_guard lock(mutex_);
  io_object_t handle = next_handle_++;
  if (next_handle_ == IO_OBJECT_NULL) next_handle_ = 1;
  open_.insert(handle);
  return handle;
}

bool IORegistry::release(io_object_t object) {
  std::lock_guard lock(mutex_);
  return open_.erase(object) > 0;
}

bool IORegistry::isPlatformExpert(io_object_t object) const {
  std::lock_guard lock(mutex_);
  return open_.contains(object);
}

size_t IORegistry::openObjectCount() const {
  std::lock_guard lock(mutex_);
  return open_.size();
}

void IORegistry::setMachineIdPath(std::optional<std::string> path) {
  std::lock_guard lock(mutex_);
  machine_id_path_ = std::move(path);
}

std::optional<std::string> IORegistry::readPlatformUUID() {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    ++uuid_reads_;
    path = machine_id_path_.value_or("/etc/machine-id");
  }
  return platformUUIDFromMachineIdFile(path);
}

int IORegistry::platformUUIDReadCount() const {
  std::lock_guard lock(mutex_);
  return uuid_reads_;
}

void IORegistry::resetCounters() {
  std::lock_guard lock(mutex_);
  uuid_reads_ = 0;
}

}  // namespace iokit::internal
