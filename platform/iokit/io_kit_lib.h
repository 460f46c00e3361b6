// IOKit as the plug-ins use it.
#pragma once

#include "platform/iokit/io_registry_entry.h"
#include "platform/iokit/io_service.h"
#include "platform/iokit/io_types.h"
