#include "platform/iokit/io_service.h"

#include "platform/iokit/internal/io_registry.h"

using iokit::internal::IORegistry;
using iokit::internal::kPlatformExpertClass;

std::optional<IOMatchingDictionary> IOServiceMatching(const char* name) {
  if (name == nullptr) return std::nullopt;
  return IOMatchingDictionary{name};
}

io_service_t IOServiceGetMatchingService(mach_port_t /*mainPort*/,
                                         std::optional<IOMatchingDictionary> matching) {
  if (!matching || matching->serviceClass != kPlatformExpertClass) return IO_OBJECT_NULL;
  return IORegistry::shared().openPlatformExpert();
}

kern_return_t IOObjectRelease(io_object_t object) {
  return IORegistry::shared().release(object) ? KERN_SUCCESS : KERN_INVALID_ARGUMENT;
}
