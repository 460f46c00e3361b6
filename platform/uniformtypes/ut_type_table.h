// The built-in table of uniform types behind UTType.
#pragma once

#include <string_view>
#include <vector>

namespace uniformtypes {

struct TypeRecord {
  std::string_view identifier;
  // The types this one conforms to directly.
  std::vector<std::string_view> parents;
  // Lower-case, the preferred one first.
  std::vector<std::string_view> extensions;
  std::vector<std::string_view> mimeTypes;
};

const std::vector<TypeRecord>& typeTable();
const TypeRecord* findType(std::string_view identifier);

}  // namespace uniformtypes
