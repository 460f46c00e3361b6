// IOKit's handle and result types.
#pragma once

#include <cstdint>

using kern_return_t = int;
using mach_port_t = uint32_t;
using io_object_t = mach_port_t;
using io_service_t = io_object_t;
using io_registry_entry_t = io_object_t;

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr kern_return_t KERN_INVALID_ARGUMENT = 4;

inline constexpr io_object_t IO_OBJECT_NULL = 0;
inline constexpr mach_port_t kIOMainPortDefault = 0;
inline constexpr mach_port_t kIOMasterPortDefault = kIOMainPortDefault;
