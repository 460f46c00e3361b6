// Lines for the process's console: its standard output and standard error. Every line written to
// either goes through here, under the log's rule: a write never ends the process and holds its
// caller at most 100 ms (a reader that stops reading); a line that cannot be written is dropped,
// and the next line written to that stream counts the lines dropped.
#pragma once

#include <string_view>

namespace foundation {

enum class ConsoleStream { standardOutput, standardError };

// Writes `line` and a newline to `stream`, whole, from any thread.
void writeConsoleLine(ConsoleStream stream, std::string_view line);

}  // namespace foundation
