// Registry properties of IOKit objects.
#pragma once

#include <optional>
#include <string>

#include "platform/iokit/io_types.h"

// The key of the platform expert's UUID property: an upper-case UUID string, stable for the
// machine, absent when the machine has no usable identity.
inline constexpr const char* kIOPlatformUUIDKey = "IOPlatformUUID";

// The property's value; nullopt when the object or the property does not exist. The properties
// modelled here are all strings.
std::optional<std::string> IORegistryEntryCreateCFProperty(io_registry_entry_t entry,
                                                           const std::string& key,
                                                           unsigned options = 0);
