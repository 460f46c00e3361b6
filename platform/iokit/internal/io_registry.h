// The IOKit objects handed out and not yet released, and the platform expert's properties.
// Process-wide, as the registry is.
#pragma once

#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/iokit/io_types.h"

namespace iokit::internal {

inline constexpr const char* kPlatformExpertClass = "IOPlatformExpertDevice";

class IORegistry {
 public:
  static IORegistry& shared();

  // A new handle on the platform expert.
  io_service_t openPlatformExpert();
  bool release(io_object_t object);
  bool isPlatformExpert(io_object_t object) const;
  size_t openObjectCount() const;

  // Where the machine identity is read from (/etc/machine-id unless a test points elsewhere).
  void setMachineIdPath(std::optional<std::string> path);
  // Counts each read of the platform UUID.
  std::optional<std::string> readPlatformUUID();
  int platformUUIDReadCount() const;
  void resetCounters();

 private:
  IORegistry() = default;

  mutable std::mutex mutex_;
  io_object_t next_handle_ = 1;
  std::set<io_object_t> open_;
  std::optional<std::string> machine_id_path_;
  int uuid_reads_ = 0;
};

}  // namespace iokit::internal
