// UTF-8: validation for text that arrives from outside the process, and encoding of code points.
#pragma once

#include <string>
#include <string_view>

namespace foundation {
// True for well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of `codePoint`, a scalar value (no surrogate, at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);
}  // namespace foundation
