// Reading a secure-storage call's arguments: the item key, the value to write and the query
// options, all of them untrusted.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "platform/flutter/flutter_codec.h"
#include "plugins/secure_store_darwin/keychain_query_parameters.h"

namespace secure_store_darwin {

inline constexpr const char* kKeyArgument = "key";
inline constexpr const char* kValueArgument = "value";
inline constexpr const char* kOptionsArgument = "options";
inline constexpr const char* kInvalidArgumentsCode = "Invalid Arguments";

struct CallArguments {
  KeychainQueryParameters parameters;
  std::optional<std::string> value;
};

// The parameters and the value of a call, or the error to answer when its arguments are absent
// or not a map with string keys. Option values that are not strings count as absent.
std::variant<CallArguments, FlutterError> parseCallArguments(const FlutterMethodCall& call);

}  // namespace secure_store_darwin
