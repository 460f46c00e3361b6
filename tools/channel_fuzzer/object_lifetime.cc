#include "tools/channel_fuzzer/object_lifetime.h"

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <utility>
#include <vector>

#include "tools/channel_fuzzer/channel_names.h"

namespace channel_fuzzer {
namespace {

// A pattern that a call's method matches when it names an object's birth or its end. The answers
// are kept: the same few hundred names are asked about over and over.
class MethodPattern {
 public:
  explicit MethodPattern(const char* pattern) : pattern_(pattern) {}
  bool matches(const std::string& method) {
    auto found = known_.find(method);
    if (found != known_.end()) return found->second;
    return known_[method] = std::regex_search(method, pattern_);
  }

 private:
  std::regex pattern_;
  std::map<std::string, bool> known_;
};

using Candidates = std::vector<std::pair<std::string, const MethodShape*>>;

// The method calls or operations of `plugin` whose names pass `wanted`, each with the channel
// it goes on: `channel` for a method channel, the operation's own channel for message channels.
Candidates candidates(const ShapedCaller& caller, const std::string& channel,
                      const std::string& plugin,
                      const std::function<bool(const std::string&)>& wanted) {
  Candidates found;
  if (!isMessageChannel(channel)) {
    const PluginShapes* shapes = shapesOf(plugin);
    if (shapes == nullptr) return found;
    for (const auto& shape : shapes->methods) {
      if (wanted(shape.method)) found.emplace_back(channel, &shape);
    }
    return found;
  }
  // An object's operations are those of its own class (the API the channel names).
  const std::string api = apiOf(channel);
  for (const auto& other : caller.channelsWithHandlers()) {
    if (!isMessageChannel(other) || apiOf(other) != api) continue;
    const std::string operation = operationOf(other);
    if (wanted(operation)) found.emplace_back(other, shapeOf(plugin, operation, apiNameOf(other)));
  }
  return found;
}

}  // namespace

bool createsAnObject(const std::string& method) {
  static auto* const pattern = new MethodPattern(
      "^(create|open|init|load|add|new|register|start|getUserMedia|getDisplayMedia|"
      "pigeon_defaultConstructor)|Create");
  return pattern->matches(method);
}

bool endsAnObject(const std::string& method) {
  static auto* const pattern = new MethodPattern(
      "(dispose|Dispose|close|Close|delete|Delete|remove|Remove|release|stop|Stop|clear)");
  return pattern->matches(method);
}

bool runObjectLifetime(ShapedCaller& caller, const std::string& channel,
                       const std::string& plugin) {
  auto creates = candidates(caller, channel, plugin, createsAnObject);
  if (creates.empty()) return false;
  auto uses = candidates(caller, channel, plugin, [](const std::string& method) {
    return !createsAnObject(method) && !endsAnObject(method);
  });
  auto ends = candidates(caller, channel, plugin, endsAnObject);
  auto& random = caller.random();
  auto pick = [&](const Candidates& list) { return list[random() % list.size()]; };
  auto send = [&](const std::pair<std::string, const MethodShape*>& candidate,
                  bool keepMadeUpIds = false) {
    caller.sendShaped({.channel = candidate.first,
                       .plugin = plugin,
                       .shape = candidate.second,
                       .keep_made_up_ids = keepMadeUpIds});
  };

  const auto before = caller.channelsWithHandlers();
  send(pick(creates), /*keepMadeUpIds=*/true);
  // An object may come with channels of its own (a player's, a connection's): its life goes on
  // there.
  const PluginShapes* shapes = shapesOf(plugin);
  for (const auto& channel_made : caller.channelsWithHandlers()) {
    if (std::binary_search(before.begin(), before.end(), channel_made)) continue;
    if (isMessageChannel(channel_made)) {
      const std::string operation = operationOf(channel_made);
      (endsAnObject(operation) ? ends : uses)
          .emplace_back(channel_made, shapeOf(plugin, operation, apiNameOf(channel_made)));
    } else if (shapes != nullptr) {
      for (const auto& shape : shapes->methods) {
        (endsAnObject(shape.method) ? ends : uses).emplace_back(channel_made, &shape);
      }
    }
  }
  const size_t use_count = 1 + random() % 5;
  for (size_t i = 0; i < use_count && !uses.empty(); ++i) send(pick(uses));
  if (!ends.empty()) {
    send(pick(ends));
    for (size_t i = 0; i < 2 && !uses.empty(); ++i) send(pick(uses));
  }
  return true;
}

}  // namespace channel_fuzzer
