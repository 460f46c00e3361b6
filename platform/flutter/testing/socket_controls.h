// Test controls for the socket transport.
#pragma once

#include <chrono>

namespace flutter::testing {

// How long waiting output may go untaken before the Dart side is deemed not reading; read when
// a connection is accepted. Tests shorten it rather than wait out the default.
std::chrono::milliseconds socketStallTime();
void setSocketStallTime(std::chrono::milliseconds stallTime);

}  // namespace flutter::testing
