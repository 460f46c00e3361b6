#include "plugins/keychain_bridge/diagnostic_line.h"

#include <cstdio>

namespace keychain_bridge {

void writeDiagnosticLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace keychain_bridge
