#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_data_arguments.h"

#include <cmath>

namespace wkwebview_host {

void throwInvalidArgument(std::string_view method, size_t index, std::string_view expected) {
  throw PigeonError(PigeonArguments::kInvalidArgumentCode,
                    std::string(method) + " expects " + std::string(expected) + " as argument " +
                        std::to_string(index) + ".",
                    flutter::Value());
}

std::optional<std::vector<uint8_t>> optionalBytesArgument(const PigeonArguments& arguments,
                                                          size_t index, std::string_view method) {
  const flutter::Value& argument = arguments.value(index);
  if (argument.isNull()) return std::nullopt;
  const auto* bytes = argument.getIf<std::vector<uint8_t>>();
  if (bytes == nullptr) throwInvalidArgument(method, index, "typed byte data or null");
  return *bytes;
}

std::optional<std::map<std::string, std::string>> optionalStringMapArgument(
    const PigeonArguments& arguments, size_t index, std::string_view method) {
  const flutter::Value& argument = arguments.value(index);
  if (argument.isNull()) return std::nullopt;
  const auto* map = argument.asMap();
  if (map == nullptr) throwInvalidArgument(method, index, "a map of strings to strings or null");
  std::map<std::string, std::string> fields;
  for (const auto& [key, value] : *map) {
    if (key.asString() == nullptr || value.asString() == nullptr) {
      throwInvalidArgument(method, index, "a map of strings to strings or null");
    }
    fields[*key.asString()] = *value.asString();
  }
  return fields;
}

double finiteNumberArgument(const PigeonArguments& arguments, size_t index,
                            std::string_view method) {
  double number = arguments.number(index);
  if (!std::isfinite(number)) throwInvalidArgument(method, index, "a finite number");
  return number;
}

}  // namespace wkwebview_host
