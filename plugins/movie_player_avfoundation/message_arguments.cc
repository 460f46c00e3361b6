#include "plugins/movie_player_avfoundation/message_arguments.h"

namespace movie_player_avfoundation {
namespace {

FlutterError wrongType(size_t index, const char* expected) {
  return FlutterError{"invalid-argument",
                      "argument " + std::to_string(index) + " must be " + expected, nullptr};
}

}  // namespace

ArgumentOr<const flutter::ValueList*> argumentList(const flutter::Value& message, size_t count,
                                                   const std::string& operation) {
  const auto* list = message.asList();
  if (list == nullptr || list->size() < count) {
    return FlutterError{"invalid-argument",
                        operation + " expects a list of " + std::to_string(count) + " argument(s)",
                        nullptr};
  }
  return list;
}

ArgumentOr<int64_t> integerArgument(const flutter::ValueList& list, size_t index) {
  const auto& value = list[index];
  if (value.isNull()) return int64_t{0};
  if (auto integer = value.asInteger()) return *integer;
  return wrongType(index, "an integer");
}

ArgumentOr<double> doubleArgument(const flutter::ValueList& list, size_t index) {
  const auto& value = list[index];
  if (value.isNull()) return 0.0;
  if (value.is<double>()) return value.get<double>();
  return wrongType(index, "a double");
}

ArgumentOr<bool> boolArgument(const flutter::ValueList& list, size_t index) {
  const auto& value = list[index];
  if (value.isNull()) return false;
  if (value.is<bool>()) return value.get<bool>();
  return wrongType(index, "a boolean");
}

ArgumentOr<std::optional<std::string>> optionalStringArgument(const flutter::ValueList& list,
                                                              size_t index) {
  const auto& value = list[index];
  if (value.isNull()) return std::optional<std::string>();
  if (const auto* text = value.asString()) return std::optional<std::string>(*text);
  return wrongType(index, "a string or null");
}

}  // namespace movie_player_avfoundation
