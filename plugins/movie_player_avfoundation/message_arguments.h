// Reading the arguments of a message by position: each reader answers the value or the error
// reply to send instead, so that every malformed message gets the same treatment.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/flutter/flutter_codec.h"

namespace movie_player_avfoundation {

template <typename T>
using ArgumentOr = std::variant<T, FlutterError>;

// The message as the list of arguments; an error when it is not a list of at least `count`.
ArgumentOr<const flutter::ValueList*> argumentList(const flutter::Value& message, size_t count,
                                                   const std::string& operation);

// Element `index`: null reads as absent (0, false or nothing); another type is an error.
ArgumentOr<int64_t> integerArgument(const flutter::ValueList& list, size_t index);
ArgumentOr<double> doubleArgument(const flutter::ValueList& list, size_t index);
ArgumentOr<bool> boolArgument(const flutter::ValueList& list, size_t index);
ArgumentOr<std::optional<std::string>> optionalStringArgument(const flutter::ValueList& list,
                                                              size_t index);
// A record of the layer's codec; null or another type is an error.
template <typename Record>
ArgumentOr<std::shared_ptr<const Record>> recordArgument(const flutter::ValueList& list,
                                                         size_t index) {
  if (auto record = list[index].asCustom<Record>()) return record;
  return FlutterError{"invalid-argument",
                      "argument " + std::to_string(index) + " must be a " + Record::kTypeName,
                      nullptr};
}

}  // namespace movie_player_avfoundation
