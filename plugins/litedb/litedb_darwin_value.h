// What the database layer binds to statement parameters and hands back as column objects: the
// platform's null marker, bytes, dates, numbers of each storage type, and text.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/ns_date.h"

namespace litedb {

using LiteDbDarwinData = std::vector<uint8_t>;
// Text and bytes bound without a copy: whoever makes one keeps what it views alive and unchanged
// until the statement it is bound to has been stepped, reset or cleared.
using LiteDbDarwinBytesView = std::span<const uint8_t>;

// Numbers keep the type they were stored in, because binding depends on it: 32-bit and smaller
// signed types bind as int, unsigned 32-bit and 64-bit types as int64, float and double as double.
using LiteDbDarwinValue =
    std::variant<std::monostate, LiteDbDarwinData, NSDate, bool, int32_t, uint32_t, int64_t,
                 uint64_t, float, double, std::string, std::string_view, LiteDbDarwinBytesView>;

using LiteDbDarwinValues = std::vector<LiteDbDarwinValue>;
// Named parameter values, keyed by the name without its leading ':'.
using LiteDbDarwinNamedValues = std::map<std::string, LiteDbDarwinValue>;

// The value's text form, for trace lines and for binding as text.
std::string describeValue(const LiteDbDarwinValue& value);

}  // namespace litedb
