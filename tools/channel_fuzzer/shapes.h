// The argument shapes of each plug-in's methods, harvested from docs/protocol at build time
// (harvest_shapes.py): which keys (or positions) a call takes and what kind of value each holds,
// so that generated calls get past the plug-in's argument checks and reach its work.
#pragma once

#include <string>
#include <vector>

namespace channel_fuzzer {

struct ArgumentShape {
  std::string key;  // empty for a position in a list
  // "boolean", "integer", "number", "string", "bytes", "list", "map", "identifier", "path",
  // "any", or "record:<tag>" for a plug-in codec's record.
  std::string kind;
};

struct MethodShape {
  std::string method;
  // "map": a map of the keys; "positional": a list, one element per argument; "whole": the one
  // argument is the call's whole argument.
  std::string form;
  std::vector<ArgumentShape> arguments;
};

struct RecordShape {
  std::string name;
  int tag = 0;
  std::vector<std::string> fields;  // each field's kind, as for arguments
};

struct PluginShapes {
  std::string plugin;
  std::vector<MethodShape> methods;
  std::vector<RecordShape> records;
};

const std::vector<PluginShapes>& pluginShapes();

// The shapes of `plugin`; null when its page names none.
const PluginShapes* shapesOf(const std::string& plugin);
// The shape of `method` of `plugin`; null when none is known.
const MethodShape* shapeOf(const std::string& plugin, const std::string& method);

}  // namespace channel_fuzzer
