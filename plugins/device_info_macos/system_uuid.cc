#include "plugins/device_info_macos/system_uuid.h"

#include "platform/foundation/ns_process_info.h"
#include "platform/iokit/io_kit_lib.h"

namespace device_info_macos {

std::optional<std::string> SystemUUID::getSystemUUID() {
  // The main port got its current name in 12.0.
  mach_port_t mainPort = NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({12, 0, 0})
                             ? kIOMainPortDefault
                             : kIOMasterPortDefault;
  io_service_t service =
      IOServiceGetMatchingService(mainPort, IOServiceMatching("IOPlatformExpertDevice"));
  if (service == IO_OBJECT_NULL) return std::nullopt;
  auto uuid = IORegistryEntryCreateCFProperty(service, kIOPlatformUUIDKey);
  IOObjectRelease(service);
  return uuid;
}

}  // namespace device_info_macos
