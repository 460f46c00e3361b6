// What the parts of a run (an object's life, the provision of objects) need of the fuzzer: to
// send a call shaped as the plug-in's page says, and what it knows.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tools/channel_fuzzer/live_values.h"
#include "tools/channel_fuzzer/shapes.h"

namespace channel_fuzzer {

struct ShapedCall {
  std::string channel;
  std::string plugin;
  // Any of the plug-in's shapes on a method channel when null; the operation's on a message
  // channel.
  const MethodShape* shape = nullptr;
  // Whether the ids it makes up name objects it creates.
  bool keep_made_up_ids = false;
  // Objects to name first; those it makes join them.
  LiveValues* scope = nullptr;
  // Sent to make an object another call needs: it is not provided for in turn.
  bool providing = false;
};

class ShapedCaller {
 public:
  virtual ~ShapedCaller() = default;
  // Answers whether the call succeeded.
  virtual bool sendShaped(const ShapedCall& call) = 0;
  // Sorted.
  virtual std::vector<std::string> channelsWithHandlers() const = 0;
  // The objects the Dart side knows of `plugin`.
  virtual LiveValues& live(const std::string& plugin) = 0;
  // Hands `plugin` an object of `api` only the platform makes, as the platform would, and
  // answers its identifier; none when there is no such object.
  virtual std::optional<int64_t> handOver(const std::string& plugin, const std::string& api) = 0;
  virtual std::mt19937_64& random() = 0;
};

}  // namespace channel_fuzzer
