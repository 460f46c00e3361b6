#include "plugins/litedb/litedb_darwin_value.h"

#include <cstdio>
#include <type_traits>

namespace litedb {

std::string describeValue(const LiteDbDarwinValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return "<null>";
        } else if constexpr (std::is_same_v<T, LiteDbDarwinData> ||
                             std::is_same_v<T, LiteDbDarwinBytesView>) {
          return "{length = " + std::to_string(v.size()) + "}";
        } else if constexpr (std::is_same_v<T, NSDate>) {
          char text[64];
          std::snprintf(text, sizeof text, "%.3f", v.timeIntervalSince1970());
          return text;
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "1" : "0";
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          char text[64];
          std::snprintf(text, sizeof text, "%.17g", static_cast<double>(v));
          return text;
        } else if constexpr (std::is_same_v<T, std::string> ||
                             std::is_same_v<T, std::string_view>) {
          return std::string(v);
        } else {
          return std::to_string(v);
        }
      },
      value);
}

}  // namespace litedb
