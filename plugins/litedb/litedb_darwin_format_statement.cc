#include "plugins/litedb/litedb_darwin_format_statement.h"

#include <cstdlib>

namespace litedb {
namespace {

// The next argument as a C integer or floating-point value, as a variadic read would give it.
class ArgumentReader {
 public:
  explicit ArgumentReader(const LiteDbDarwinValues& arguments) : arguments_(arguments) {}

  const LiteDbDarwinValue& object() {
    static const LiteDbDarwinValue kNull;
    return next_ < arguments_.size() ? arguments_[next_++] : kNull;
  }

  int64_t integer() {
    return std::visit(
        [](const auto& v) -> int64_t {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_arithmetic_v<T>) {
            return static_cast<int64_t>(v);
          } else if constexpr (std::is_same_v<T, std::string> ||
                               std::is_same_v<T, std::string_view>) {
            return std::strtoll(std::string(v).c_str(), nullptr, 10);
          } else {
            return 0;
          }
        },
        object());
  }

  double real() {
    return std::visit(
        [](const auto& v) -> double {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_arithmetic_v<T>) {
            return static_cast<double>(v);
          } else if constexpr (std::is_same_v<T, std::string> ||
                               std::is_same_v<T, std::string_view>) {
            return std::strtod(std::string(v).c_str(), nullptr);
          } else {
            return 0;
          }
        },
        object());
  }

  std::string text() {
    const LiteDbDarwinValue& value = object();
    if (std::holds_alternative<std::monostate>(value)) return "";
    return describeValue(value);
  }

 private:
  const LiteDbDarwinValues& arguments_;
  size_t next_ = 0;
};

}  // namespace

LiteDbDarwinFormattedStatement formatStatement(const std::string& format,
                                               const LiteDbDarwinValues& arguments) {
  LiteDbDarwinFormattedStatement out;
  ArgumentReader reader(arguments);
  auto placeholder = [&](LiteDbDarwinValue value) {
    out.sql.push_back('?');
    out.values.push_back(std::move(value));
  };
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      if (c != '%') out.sql.push_back(c);
      continue;
    }
    char next = format[++i];
    auto peek = [&](size_t offset) { return i + offset < format.size() ? format[i + offset] : '\0'; };
    switch (next) {
      case '@': {
        const LiteDbDarwinValue& value = reader.object();
        if (std::holds_alternative<std::monostate>(value)) {
          out.sql += "NULL";
        } else {
          placeholder(value);
        }
        break;
      }
      case 'c':
        placeholder(std::string(1, static_cast<char>(reader.integer())));
        break;
      case 's':
        placeholder(reader.text());
        break;
      case 'd':
      case 'D':
      case 'i':
        placeholder(static_cast<int32_t>(reader.integer()));
        break;
      case 'u':
      case 'U':
        placeholder(static_cast<uint32_t>(reader.integer()));
        break;
      case 'f':
        placeholder(reader.real());
        break;
      case 'g':
        placeholder(static_cast<float>(reader.real()));
        break;
      case '%':
        out.sql.push_back('%');
        break;
      case 'h':
        if (peek(1) == 'i') {
          placeholder(static_cast<int32_t>(static_cast<int16_t>(reader.integer())));
          ++i;
        } else if (peek(1) == 'u') {
          placeholder(static_cast<int32_t>(static_cast<uint16_t>(reader.integer())));
          ++i;
        } else {
          out.sql.push_back('h');
        }
        break;
      case 'q':
        if (peek(1) == 'i') {
          placeholder(reader.integer());
          ++i;
        } else if (peek(1) == 'u') {
          placeholder(static_cast<uint64_t>(reader.integer()));
          ++i;
        } else {
          out.sql.push_back('q');
        }
        break;
      case 'l':
        if (peek(1) == 'l' && (peek(2) == 'd' || peek(2) == 'u')) {
          if (peek(2) == 'd') {
            placeholder(reader.integer());
          } else {
            placeholder(static_cast<uint64_t>(reader.integer()));
          }
          i += 2;
        } else if (peek(1) == 'd') {
          placeholder(reader.integer());
          ++i;
        } else if (peek(1) == 'u') {
          placeholder(static_cast<uint64_t>(reader.integer()));
          ++i;
        } else {
          out.sql.push_back('l');
        }
        break;
      default:
        out.sql.push_back(next);
    }
  }
  return out;
}

}  // namespace litedb
