#include "tools/channel_fuzzer/hex.h"

namespace channel_fuzzer {

std::string hex(const Bytes& bytes, size_t limit) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  if (bytes.size() > limit) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

}  // namespace channel_fuzzer
