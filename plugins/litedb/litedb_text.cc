#include "plugins/litedb/litedb_text.h"

#include <cstdint>
#include <cstring>

namespace litedb {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// How many continuation bytes follow a lead byte, and the range of the first one; 0 for a byte
// that can never start a character.
struct Lead {
  size_t continuations;
  uint8_t low;
  uint8_t high;
};

Lead leadOf(uint8_t c) {
  if (c >= 0xC2 && c <= 0xDF) return {1, 0x80, 0xBF};
  if (c == 0xE0) return {2, 0xA0, 0xBF};
  if (c == 0xED) return {2, 0x80, 0x9F};  // no surrogates
  if (c >= 0xE1 && c <= 0xEF) return {2, 0x80, 0xBF};
  if (c == 0xF0) return {3, 0x90, 0xBF};
  if (c >= 0xF1 && c <= 0xF3) return {3, 0x80, 0xBF};
  if (c == 0xF4) return {3, 0x80, 0x8F};  // nothing above U+10FFFF
  return {0, 0, 0};
}

// The length of the well-formed character at `i`, or the length of the ill-formed part to
// replace, negated.
long characterAt(std::string_view bytes, size_t i) {
  const auto c = static_cast<uint8_t>(bytes[i]);
  if (c < 0x80) return 1;
  const Lead lead = leadOf(c);
  if (lead.continuations == 0) return -1;
  size_t j = i + 1;
  for (size_t k = 0; k < lead.continuations; ++k, ++j) {
    if (j == bytes.size()) return -static_cast<long>(j - i);
    const auto next = static_cast<uint8_t>(bytes[j]);
    const uint8_t low = k == 0 ? lead.low : 0x80;
    const uint8_t high = k == 0 ? lead.high : 0xBF;
    if (next < low || next > high) return -static_cast<long>(j - i);
  }
  return static_cast<long>(j - i);
}

// Whether eight bytes are all ASCII.
bool asciiWord(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

std::string utf8Text(std::string_view bytes) {
  size_t i = 0;
  // Most text is well formed, and most of it ASCII: find the first fault before copying
  // anything piecewise.
  while (i + 8 <= bytes.size() && asciiWord(bytes.data() + i)) i += 8;
  while (i < bytes.size()) {
    long length = characterAt(bytes, i);
    if (length < 0) break;
    i += static_cast<size_t>(length);
  }
  std::string text(bytes.substr(0, i));
  while (i < bytes.size()) {
    long length = characterAt(bytes, i);
    if (length > 0) {
      text.append(bytes.substr(i, static_cast<size_t>(length)));
      i += static_cast<size_t>(length);
    } else {
      text.append(kReplacement);
      i += static_cast<size_t>(-length);
    }
  }
  return text;
}

}  // namespace litedb
