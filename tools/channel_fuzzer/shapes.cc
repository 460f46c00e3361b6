#include "tools/channel_fuzzer/shapes.h"

namespace channel_fuzzer {

const PluginShapes* shapesOf(const std::string& plugin) {
  for (const auto& shapes : pluginShapes()) {
    if (shapes.plugin == plugin) return &shapes;
  }
  return nullptr;
}

const MethodShape* shapeOf(const std::string& plugin, const std::string& method) {
  const PluginShapes* shapes = shapesOf(plugin);
  if (shapes == nullptr) return nullptr;
  for (const auto& shape : shapes->methods) {
    if (shape.method == method) return &shape;
  }
  return nullptr;
}

}  // namespace channel_fuzzer
