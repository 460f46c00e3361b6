// Text read from SQLite on its way to the Dart side. SQLite hands back whatever bytes were
// stored, and a file written by another program may hold text that is not UTF-8; the wire
// carries only UTF-8, so such text is repaired as Swift's String(decoding:as:) repairs it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace litedb {

// The bytes as UTF-8: each maximal ill-formed subsequence becomes one U+FFFD, everything well
// formed (U+0000 included) is kept as it is.
std::string utf8Text(std::string_view bytes);


}  // namespace litedb
