#include "platform/iokit/testing/platform_uuid_controls.h"

#include "platform/iokit/internal/io_registry.h"

namespace iokit::testing {

using internal::IORegistry;

void setMachineIdPath(std::optional<std::string> path) {
  IORegistry::shared().setMachineIdPath(std::move(path));
}

int platformUUIDReadCount() { return IORegistry::shared().platformUUIDReadCount(); }

void resetPlatformUUIDReadCount() { IORegistry::shared().resetCounters(); }

size_t openObjectCount() { return IORegistry::shared().openObjectCount(); }

}  // namespace iokit::testing
