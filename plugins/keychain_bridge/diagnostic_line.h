// The library's diagnostic lines, written to standard output.
#pragma once

#include <string>

namespace keychain_bridge {

void writeDiagnosticLine(const std::string& line);

}  // namespace keychain_bridge
