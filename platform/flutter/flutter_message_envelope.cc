#include "platform/flutter/flutter_message_envelope.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace flutter {

ValueList wrapResult(Value result) { return listOf({std::move(result)}); }

ValueList wrapError(const FlutterError& error) {
  return listOf(
      {Value(error.code), error.message ? Value(*error.message) : Value(), error.details});
}

ValueList wrapException(const std::exception& exception) {
  const char* mangled = typeid(exception).name();
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  std::string type_name = status == 0 && demangled ? demangled.get() : mangled;
  return ValueList{Value(exception.what()), Value(type_name),
                   Value("Stacktrace: " + currentStackTrace())};
}

FlutterError createConnectionError(const std::string& channelName) {
  return FlutterError{"channel-error",
                      "Unable to establish connection on channel: '" + channelName + "'.", nullptr};
}

std::variant<Value, FlutterError> unwrapReply(const std::optional<Value>& reply,
                                              const std::string& channelName) {
  if (!reply) return createConnectionError(channelName);
  const auto* list = reply->asList();
  if (list != nullptr && list->size() > 1) {
    const auto* code = (*list)[0].asString();
    FlutterError error{code != nullptr ? *code : (*list)[0].stringValue(), std::nullopt,
                       list->size() > 2 ? (*list)[2] : Value()};
    if (const auto* message = (*list)[1].asString()) error.message = *message;
    return error;
  }
  if (list != nullptr && list->size() == 1) return (*list)[0];
  return createConnectionError(channelName);
}

std::string currentStackTrace() {
  void* frames[64];
  int count = backtrace(frames, 64);
  std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, count),
                                                       &std::free);
  std::string trace;
  for (int i = 1; symbols && i < count; ++i) {
    trace += symbols.get()[i];
    trace += '\n';
  }
  return trace;
}

}  // namespace flutter
