// Reads the date of a cookie's Expires attribute, in any of the forms servers send ("Sun, 06 Nov
// 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994", ...), with
// the tolerant algorithm browsers use for cookie dates. Times are UTC.
#pragma once

#include <optional>
#include <string_view>

#include "platform/foundation/ns_date.h"

namespace webkit {

// None when the text holds no complete, valid date.
std::optional<NSDate> parseCookieDate(std::string_view text);

}  // namespace webkit
