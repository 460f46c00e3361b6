// An object's life through a plug-in's calls: one that creates it (its method or operation begins
// with create, open, init, load, add, new, register, start, or is a constructor), a few that use
// it, one that ends it (dispose, close, delete, remove, release, stop, clear), then uses again.
// Channels that appear with the object (a player's, a connection's) are used too.
#pragma once

#include <string>

#include "tools/channel_fuzzer/shaped_caller.h"

namespace channel_fuzzer {

bool createsAnObject(const std::string& method);
bool endsAnObject(const std::string& method);

// One life on `channel`'s plug-in; false when the plug-in has nothing to create.
bool runObjectLifetime(ShapedCaller& caller, const std::string& channel, const std::string& plugin);

}  // namespace channel_fuzzer
