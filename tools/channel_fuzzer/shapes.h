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
  // "any", or "record:<tag>" for a plug-in codec's record. Message-channel objects:
  // "object:<API>" (a reference to a live object of one of the APIs, "|"-separated, or "*" for
  // any), "objects:<API>" (a list of them), "new:<API>" (the identifier of a new object),
  // "id:*" (a live object's identifier as an integer); "enum:<tag>" (an enumeration's case),
  // "enums:<tag>" (a list of cases), "enummap:<tag>" (a map keyed by cases); "stringmap";
  // "choice:<a>|<b>..." (one of the texts); content: "html", "script", "url". A trailing "?"
  // marks what may be null; "none" is an answer without a value.
  std::string kind;
};

struct MethodShape {
  std::string method;  // "<API>.<operation>" for a message channel's operation
  // "map": a map of the keys; "positional": a list, one element per argument; "whole": the one
  // argument is the call's whole argument.
  std::string form;
  std::vector<ArgumentShape> arguments;
  // The kind of what it answers (of what the Dart side answers, for a call to the Dart side);
  // empty when the page does not say.
  std::string answer;
};

struct RecordShape {
  std::string name;
  int tag = 0;
  std::vector<std::string> fields;  // each field's kind, as for arguments
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
