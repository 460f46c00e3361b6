#include "platform/foundation/ns_log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/foundation/console_line.h"
#include "platform/foundation/testing/foundation_controls.h"

void NSLog(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, arguments);
  va_end(arguments);
  foundation::testing::recordLogLine(line);
  foundation::writeConsoleLine(foundation::ConsoleStream::standardError,
                               "DesktopHost[" + std::to_string(getpid()) + "] " + line);
}
