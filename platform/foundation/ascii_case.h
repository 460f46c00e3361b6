// Case folding for protocol words (schemes, type names, codec names): ASCII letters only, the
// same in every locale.
#pragma once

#include <string>

namespace foundation {

inline std::string asciiLowercased(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace foundation
