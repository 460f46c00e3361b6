#include "plugins/keychain_bridge/diagnostic_line.h"

#include "platform/foundation/console_line.h"

namespace keychain_bridge {

void writeDiagnosticLine(const std::string& line) {
  foundation::writeConsoleLine(foundation::ConsoleStream::standardOutput, line);
}

}  // namespace keychain_bridge
