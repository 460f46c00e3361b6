// Looking up IOKit services by class. The one service modelled here is the platform expert,
// "IOPlatformExpertDevice", which carries the platform UUID.
#pragma once

#include <optional>
#include <string>

#include "platform/iokit/io_types.h"

// What a lookup matches: services of one class.
struct IOMatchingDictionary {
  std::string serviceClass;
};

std::optional<IOMatchingDictionary> IOServiceMatching(const char* name);
// The first matching service (released with IOObjectRelease), or IO_OBJECT_NULL.
io_service_t IOServiceGetMatchingService(mach_port_t mainPort,
                                         std::optional<IOMatchingDictionary> matching);
kern_return_t IOObjectRelease(io_object_t object);
