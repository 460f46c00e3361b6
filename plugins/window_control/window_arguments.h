// Reads the argument map of a call on "window_control". A call whose arguments are not a map reads
// as an empty map, and null as absent. Each required read answers the value, or nullopt after
// keeping a ready error answer ("INVALID_ARGUMENTS") for the first key missing or of the wrong type.
#pragma once

#include "platform/flutter/argument_reader.h"
#include "platform/flutter/flutter.h"

namespace window_control {

inline constexpr const char* kInvalidArgumentsCode = "INVALID_ARGUMENTS";

class WindowArguments : public flutter::ArgumentReader {
 public:
  // `arguments` must outlive the reader.
  explicit WindowArguments(const flutter::Value& arguments);
};

}  // namespace window_control
