#include "tools/channel_fuzzer/object_provision.h"

#include <vector>

#include "tools/channel_fuzzer/channel_names.h"

namespace channel_fuzzer {
namespace {

using Type = ArgumentKind::Type;

// Whether the Dart side knows an object of `api`, after making one if it knew none.
bool provide(ShapedCaller& caller, const std::string& prefix, const std::string& plugin,
             const std::string& api, int depth) {
  static constexpr int kDeepest = 4;
  const PluginShapes* shapes = shapesOf(plugin);
  if (caller.live(plugin).has(prefix + api)) return true;
  if (depth >= kDeepest || shapes == nullptr) return false;
  std::vector<const MethodShape*> makers;
  for (const auto& candidate : shapes->methods) {
    bool makes = candidate.answer.singleApi() == api;
    for (const auto& made : candidate.arguments) {
      makes = makes ||
              (made.kind.type == Type::newObject && !made.kind.nullable && made.kind.detail == api);
    }
    if (makes) makers.push_back(&candidate);
  }
  if (makers.empty()) {
    auto identifier = caller.handOver(plugin, api);
    if (!identifier) return false;
    caller.live(plugin).remember(prefix + api, Integer{*identifier, true});
    return true;
  }
  const MethodShape* maker = makers[caller.random()() % makers.size()];
  for (const auto& argument : maker->arguments) {
    const std::string needed = argument.kind.singleApi();
    if (argument.kind.type == Type::object && !argument.kind.nullable && !needed.empty() &&
        !provide(caller, prefix, plugin, needed, depth + 1)) {
      return false;
    }
  }
  caller.sendShaped(
      {.channel = prefix + maker->method, .plugin = plugin, .shape = maker, .providing = true});
  return caller.live(plugin).has(prefix + api);
}

}  // namespace

void provideObjects(ShapedCaller& caller, const std::string& channel, const std::string& plugin,
                    const MethodShape& shape) {
  for (const auto& argument : shape.arguments) {
    const std::string api = argument.kind.singleApi();
    if (argument.kind.type == Type::object && !api.empty()) {
      provide(caller, classPrefixOf(channel), plugin, api, 0);
    }
  }
}

}  // namespace channel_fuzzer
