// Readers of the argument kinds that only the request, cookie, data-store and trust APIs take.
// Like PigeonArguments' own readers, each answers a value of the expected kind or throws the
// "invalid-argument" error naming the operation ("<API>.<operation>") and the position.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"

namespace wkwebview_host {

// Typed byte data; null counts as absent.
std::optional<std::vector<uint8_t>> optionalBytesArgument(const PigeonArguments& arguments,
                                                          size_t index, std::string_view method);
// A map of strings to strings; null counts as absent.
std::optional<std::map<std::string, std::string>> optionalStringMapArgument(
    const PigeonArguments& arguments, size_t index, std::string_view method);
// A finite number.
double finiteNumberArgument(const PigeonArguments& arguments, size_t index,
                            std::string_view method);

// A list whose every element is a case of E.
template <typename E>
std::vector<E> enumerationListArgument(const PigeonArguments& arguments, size_t index,
                                       std::string_view method);

[[noreturn]] void throwInvalidArgument(std::string_view method, size_t index,
                                       std::string_view expected);

template <typename E>
std::vector<E> enumerationListArgument(const PigeonArguments& arguments, size_t index,
                                       std::string_view method) {
  const auto* list = arguments.value(index).asList();
  if (list == nullptr) {
    throwInvalidArgument(method, index, "a list of " + std::string(PigeonEnumeration<E>::name));
  }
  std::vector<E> cases;
  cases.reserve(list->size());
  for (const auto& element : *list) {
    auto decoded = enumerationFromValue<E>(element);
    if (!decoded) {
      throwInvalidArgument(method, index, "a list of " + std::string(PigeonEnumeration<E>::name));
    }
    cases.push_back(*decoded);
  }
  return cases;
}

}  // namespace wkwebview_host
