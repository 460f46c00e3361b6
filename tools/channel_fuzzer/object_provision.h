// Makes the objects a call names that the Dart side knows none of, through the operations of the
// plug-in's page that make them (a web view before its loads, a configuration before the web
// view), a few levels deep; objects only the platform makes (a server-trust challenge, a URL)
// are handed over as the platform would.
#pragma once

#include <string>

#include "tools/channel_fuzzer/shaped_caller.h"

namespace channel_fuzzer {

// For a call of `shape` on the message channel `channel`.
void provideObjects(ShapedCaller& caller, const std::string& channel, const std::string& plugin,
                    const MethodShape& shape);

}  // namespace channel_fuzzer
