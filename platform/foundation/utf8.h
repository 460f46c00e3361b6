// UTF-8 validation for text that arrives from outside the process.
#pragma once

#include <string_view>

namespace foundation {
// True for well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view text);
}  // namespace foundation
