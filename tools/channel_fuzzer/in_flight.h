// The message being sent, kept where the report of a dying process can reach it.
#pragma once

#include <string>

#include "tools/channel_fuzzer/answer_reader.h"

namespace channel_fuzzer {

struct InFlight {
  std::string channel;
  std::string method;
  Bytes bytes;
};

// The one message in flight: the process sends one at a time, on the main thread.
InFlight& inFlight();

// Writes the message in flight to standard error; for fuzzing::onFatalError.
void reportInFlight();

}  // namespace channel_fuzzer
