// Faults in the use of channels that do not stop the process but are bugs: a reply sent twice, a
// call dropped without an answer, a handler that threw. Each is logged; tests collect them.
#pragma once

#include <string>
#include <vector>

namespace flutter {

void reportFault(const std::string& description);
// The faults reported since the last call.
std::vector<std::string> takeFaults();

}  // namespace flutter
