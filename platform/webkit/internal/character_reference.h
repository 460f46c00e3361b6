// HTML's character references in text (`&amp;`, `&#233;`, `&#x1F600;`, the legacy `&copy`
// without its semicolon), read as the HTML tokenizer reads them: decimal and hexadecimal ones of
// any length, and the named ones HTML 4 defined (HTML's common set) plus `&apos;`. A code point
// that is none (0, a surrogate, past U+10FFFF) is U+FFFD; 0x80 to 0x9F are read as Windows-1252,
// as browsers do. Reading one looks at its own bytes only (a name at most a few bytes ahead), so
// decoding a text costs one pass whatever it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace webkit {

struct CharacterReference {
  char32_t codePoint = 0;
  // The bytes it takes from the '&' on, its ';' included when it has one.
  size_t length = 0;
};

// The reference at `text[at]` (an '&'); none when what follows is no reference, and the '&' is
// then text.
std::optional<CharacterReference> readCharacterReference(std::string_view text, size_t at);

}  // namespace webkit
