// The envelope of the message-channel APIs: a one-element list for success, a three-element list
// of code, message and details for failure.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "platform/flutter/flutter_codec.h"

namespace flutter {

ValueList wrapResult(Value result);
ValueList wrapError(const FlutterError& error);
// A failure that is not an API error: its description, its type's name, and "Stacktrace: "
// followed by the call stack.
ValueList wrapException(const std::exception& exception);

// The error for a call to the Dart side that got no reply.
FlutterError createConnectionError(const std::string& channelName);

// Reads the Dart side's reply to an API call: the one-element list's value, the error of a
// three-element list, or the connection error when there was no reply.
std::variant<Value, FlutterError> unwrapReply(const std::optional<Value>& reply,
                                              const std::string& channelName);

// The calling thread's stack, one frame per line.
std::string currentStackTrace();

}  // namespace flutter
