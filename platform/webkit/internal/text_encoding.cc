#include "platform/webkit/internal/text_encoding.h"

#include "platform/foundation/utf8.h"

namespace webkit {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed sequence at `at`, or 0. The second byte's range excludes
// overlong forms, surrogates and code points past U+10FFFF.
size_t sequenceAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!isContinuation(byte(i))) return 0;
  }
  return length;
}

}  // namespace

std::string withValidUtf8(std::string_view text) {
  if (foundation::isValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  // Well-formed runs are copied whole; a byte that starts no well-formed sequence is replaced on
  // its own.
  size_t run = 0;
  for (size_t at = 0; at < text.size();) {
    if (size_t length = sequenceAt(text, at); length > 0) {
      at += length;
      continue;
    }
    out.append(text.data() + run, at - run);
    out.append(kReplacement);
    run = ++at;
  }
  out.append(text.data() + run, text.size() - run);
  return out;
}

}  // namespace webkit
