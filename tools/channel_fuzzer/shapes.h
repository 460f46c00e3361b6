// The argument shapes of each plug-in's methods, harvested from docs/protocol at build time
// (harvest_shapes.py): which keys (or positions) a call takes and what kind of value each holds,
// so that generated calls get past the plug-in's argument checks and reach its work.
#pragma once

#include <string>
#include <vector>

#include "tools/channel_fuzzer/argument_kind.h"

namespace channel_fuzzer {

struct ArgumentShape {
  std::string key;  // empty for a position in a list
  ArgumentKind kind;
};

struct MethodShape {
  std::string method;  // "<API>.<operation>" for a message channel's operation
  // "map": a map of the keys; "positional": a list, one element per argument; "whole": the one
  // argument is the call's whole argument.
  std::string form;
  std::vector<ArgumentShape> arguments;
  // The kind of what it answers (of what the Dart side answers, for a call to the Dart side);
  // unspecified when the page does not say.
  ArgumentKind answer;
};

struct RecordShape {
  std::string name;
  int tag = 0;
  std::vector<ArgumentKind> fields;
};

struct EnumerationShape {
  std::string name;
  int tag = 0;
  int cases = 0;
};

struct PluginShapes {
  std::string plugin;
  std::vector<MethodShape> methods;
  // The host's calls to the Dart side.
  std::vector<MethodShape> callbacks;
  std::vector<RecordShape> records;
  std::vector<EnumerationShape> enumerations;
};

const std::vector<PluginShapes>& pluginShapes();

// The shapes of `plugin`; null when its page names none.
const PluginShapes* shapesOf(const std::string& plugin);
// The shape of `method` of `plugin` ("<API>.<operation>" first, then the operation alone, when
// `api` is given); null when none is known.
const MethodShape* shapeOf(const std::string& plugin, const std::string& method,
                           const std::string& api = "");
// The shape of the host's call `method` to the Dart side, found the same way.
const MethodShape* callbackShapeOf(const std::string& plugin, const std::string& method,
                                   const std::string& api = "");

}  // namespace channel_fuzzer
