#include "platform/foundation/console_line.h"

#include <unistd.h>

#include "platform/foundation/console_line_writer.h"

namespace foundation {

void writeConsoleLine(ConsoleStream stream, std::string_view line) {
  // Never destroyed: threads may write while static objects are destroyed at exit.
  static auto* const output = new ConsoleLineWriter(STDOUT_FILENO, "output line");
  static auto* const error = new ConsoleLineWriter(STDERR_FILENO, "log line");
  (stream == ConsoleStream::standardOutput ? output : error)->writeLine(line);
}

}  // namespace foundation
