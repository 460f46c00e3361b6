#include "tools/channel_fuzzer/shape_check.h"

#include <cstdio>
#include <map>
#include <set>

#include "tools/channel_fuzzer/channel_names.h"
#include "tools/channel_fuzzer/shapes.h"
#include "tools/channel_fuzzer/vocabulary.h"

namespace channel_fuzzer {

bool shapesMatchChannels(const std::vector<std::string>& channels) {
  std::map<std::string, std::set<std::string>> registered;  // plug-in: "<API>.<operation>"
  for (const auto& channel : channels) {
    if (isMessageChannel(channel)) {
      registered[pluginForChannel(channel)].insert(apiNameOf(channel) + "." + operationOf(channel));
    }
  }
  bool match = true;
  for (const auto& shapes : pluginShapes()) {
    std::set<std::string> named;
    for (const auto& shape : shapes.methods) {
      if (shape.method.find('.') != std::string::npos) named.insert(shape.method);
    }
    if (named.empty()) continue;
    for (const auto& operation : registered[shapes.plugin]) {
      if (named.count(operation) == 0) {
        std::fprintf(stderr, "%s: %s has a channel but no shape on its page\n",
                     shapes.plugin.c_str(), operation.c_str());
        match = false;
      }
    }
    for (const auto& operation : named) {
      if (registered[shapes.plugin].count(operation) == 0) {
        std::fprintf(stderr, "%s: %s is on its page but has no channel\n", shapes.plugin.c_str(),
                     operation.c_str());
        match = false;
      }
    }
  }
  return match;
}

}  // namespace channel_fuzzer
