// How a call on "window_control" reads its arguments: arguments that are not a map read as an
// empty map, and null as absent; the first key missing or of the wrong type is answered as
// "INVALID_ARGUMENTS", "Argument '<key>' must be <what it must be>".
#pragma once

#include "platform/flutter/argument_reader.h"
#include "platform/flutter/flutter.h"

namespace window_control {

inline constexpr const char* kInvalidArgumentsCode = "INVALID_ARGUMENTS";

// A call's arguments and the collector of their first problem.
struct WindowArguments {
  // `arguments` must outlive the reader.
  explicit WindowArguments(const flutter::Value& arguments);

  const flutter::ArgumentReader args;
  flutter::ArgumentErrors errors;
};

}  // namespace window_control
