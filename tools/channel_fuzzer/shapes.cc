#include "tools/channel_fuzzer/shapes.h"

namespace channel_fuzzer {
namespace {

const MethodShape* find(const std::vector<MethodShape>& shapes, const std::string& method,
                        const std::string& api) {
  for (const std::string& name : {api.empty() ? method : api + "." + method, method}) {
    for (const auto& shape : shapes) {
      if (shape.method == name) return &shape;
    }
  }
  return nullptr;
}

}  // namespace

const PluginShapes* shapesOf(const std::string& plugin) {
  for (const auto& shapes : pluginShapes()) {
    if (shapes.plugin == plugin) return &shapes;
  }
  return nullptr;
}

const MethodShape* shapeOf(const std::string& plugin, const std::string& method,
                           const std::string& api) {
  const PluginShapes* shapes = shapesOf(plugin);
  return shapes != nullptr ? find(shapes->methods, method, api) : nullptr;
}

const MethodShape* callbackShapeOf(const std::string& plugin, const std::string& method,
                                   const std::string& api) {
  const PluginShapes* shapes = shapesOf(plugin);
  return shapes != nullptr ? find(shapes->callbacks, method, api) : nullptr;
}

}  // namespace channel_fuzzer
