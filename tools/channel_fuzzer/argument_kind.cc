#include "tools/channel_fuzzer/argument_kind.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace channel_fuzzer {
namespace {

using Type = ArgumentKind::Type;

constexpr std::pair<std::string_view, Type> kWords[] = {
    {"", Type::unspecified},
    {"boolean", Type::boolean},
    {"integer", Type::integer},
    {"number", Type::number},
    {"string", Type::string},
    {"bytes", Type::bytes},
    {"list", Type::list},
    {"map", Type::map},
    {"identifier", Type::identifier},
    {"path", Type::path},
    {"any", Type::any},
    {"id:*", Type::liveIdentifier},
    {"stringmap", Type::stringMap},
    {"html", Type::html},
    {"script", Type::script},
    {"url", Type::url},
    {"none", Type::none},
};

constexpr std::pair<std::string_view, Type> kPrefixes[] = {
    {"record:", Type::record},          {"object:", Type::object},
    {"objects:", Type::objects},        {"new:", Type::newObject},
    {"enum:", Type::enumeration},       {"enums:", Type::enumerations},
    {"enummap:", Type::enumerationMap}, {"choice:", Type::choice},
};

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end = text.find(separator); end != std::string::npos;
       start = end + 1, end = text.find(separator, start)) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

ArgumentKind::ArgumentKind(const char* text) : ArgumentKind(std::string(text)) {}

ArgumentKind::ArgumentKind(const std::string& text) {
  std::string_view word = text;
  if (!word.empty() && word.back() == '?') {
    nullable = true;
    word.remove_suffix(1);
  }
  type = Type::other;
  for (const auto& [name, named_type] : kWords) {
    if (word == name) {
      type = named_type;
      return;
    }
  }
  for (const auto& [prefix, prefixed_type] : kPrefixes) {
    if (word.substr(0, prefix.size()) != prefix) continue;
    type = prefixed_type;
    detail = std::string(word.substr(prefix.size()));
    names = split(detail, '|');
    tag = std::atoi(detail.c_str());
    return;
  }
}

std::string ArgumentKind::singleApi() const {
  if (type != Type::object && type != Type::objects) return {};
  return detail.find_first_of("|*") == std::string::npos ? detail : std::string();
}

ArgumentKind ArgumentKind::required() const {
  ArgumentKind kind = *this;
  kind.nullable = false;
  return kind;
}

}  // namespace channel_fuzzer
