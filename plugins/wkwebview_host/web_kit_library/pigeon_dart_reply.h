// How a call to the Dart side reads the Dart side's reply.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"

namespace wkwebview_host {

// What the operation answers.
enum class DartReturn {
  none,      // nothing: any list of at most one element is success
  nonNull,   // a value that may not be null: [null] is the "null-error"
  nullable,  // a value or null
};

// No reply, or a reply that is not a list, is the connection error of `channel`; a list of more
// than one element is the Dart side's error [code, message, details], with null parts absent; an
// empty list where a result is expected is the connection error too. Otherwise the result (null
// for operations without one).
PigeonResult interpretDartReply(const std::optional<flutter::Value>& reply,
                                const std::string& channel, DartReturn expected);

}  // namespace wkwebview_host
