#include "tools/channel_fuzzer/in_flight.h"

#include <cstdio>

#include "tools/channel_fuzzer/hex.h"

namespace channel_fuzzer {

InFlight& inFlight() {
  // Never destroyed: a dying process may still read it.
  static auto* const message = new InFlight();
  return *message;
}

void reportInFlight() {
  const auto& message = inFlight();
  std::fprintf(stderr, "channel_fuzzer: the process died on channel '%s', method '%s', bytes %s\n",
               message.channel.c_str(), message.method.c_str(), hex(message.bytes).c_str());
}

}  // namespace channel_fuzzer
