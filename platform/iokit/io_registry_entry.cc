#include "platform/iokit/io_registry_entry.h"

#include "platform/iokit/internal/io_registry.h"

using iokit::internal::IORegistry;

std::optional<std::string> IORegistryEntryCreateCFProperty(io_registry_entry_t entry,
                                                           const std::string& key,
                                                           unsigned /*options*/) {
  auto& registry = IORegistry::shared();
  if (!registry.isPlatformExpert(entry) || key != kIOPlatformUUIDKey) return std::nullopt;
  return registry.readPlatformUUID();
}
