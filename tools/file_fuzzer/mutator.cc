#include "tools/file_fuzzer/mutator.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace file_fuzzer {
namespace {

const char* const kTextNumbers[] = {"0",          "-1",         "1",           "2147483647",
                                    "2147483648", "4294967296", "-2147483649", "99999999999",
                                    "1e308",      "-0",         "0.0000001",   "65535",
                                    "32768",      "255",        "1000000",     "3"};
const uint64_t kBinaryIntegers[] = {0,          1,          0x7f,       0x80,       0xff,
                                    0x7fff,     0x8000,     0xffff,     0x7fffffff, 0x80000000,
                                    0xffffffff, 0xfffffffe, UINT64_MAX, 0x100000000};
const char kInterestingBytes[] = {0,   '\xff', 0x7f, '\x80', '0', '9', ' ',  '\n', '(',
                                  ')', '<',    '>',  '[',    ']', '/', '\\', '%'};

}  // namespace

std::string Mutator::mutate(std::string input, const std::vector<std::string>& others) {
  for (size_t count = 1 + below(8); count > 0; --count) mutateOnce(input, others);
  if (input.size() > max_bytes_) input.resize(max_bytes_);
  return input;
}

void Mutator::mutateOnce(std::string& input, const std::vector<std::string>& others) {
  if (input.empty()) {
    input.push_back(static_cast<char>(random_()));
    return;
  }
  const size_t at = below(input.size());
  switch (below(11)) {
    case 0:
      input[at] = static_cast<char>(input[at] ^ (1 << below(8)));
      break;
    case 1:
      input[at] = static_cast<char>(random_());
      break;
    case 2:
      input[at] = kInterestingBytes[below(std::size(kInterestingBytes))];
      break;
    case 3:
      input.erase(at, 1 + below(std::min<size_t>(64, input.size() - at)));
      break;
    case 4: {
      std::string bytes(1 + below(16), '\0');
      for (char& byte : bytes) byte = static_cast<char>(random_());
      input.insert(at, bytes);
      break;
    }
    case 5: {
      // A range repeated: nesting and repetition are where readers go wrong.
      const size_t length = 1 + below(std::min<size_t>(256, input.size() - at));
      const std::string range = input.substr(at, length);
      const size_t copies = 1 + below(below(4) == 0 ? 64 : 4);
      std::string repeated;
      for (size_t i = 0; i < copies && repeated.size() + input.size() < max_bytes_; ++i) {
        repeated += range;
      }
      input.insert(at + length, repeated);
      break;
    }
    case 6:
    case 7:
      if (!tokens_.empty()) input.insert(at, tokens_[below(tokens_.size())]);
      break;
    case 8:
      replaceTextNumber(input);
      break;
    case 9:
      overwriteBinaryInteger(input);
      break;
    default:
      if (!others.empty()) {
        const std::string& other = others[below(others.size())];
        if (!other.empty()) {
          const size_t from = below(other.size());
          input = input.substr(0, at) + other.substr(from, 1 + below(other.size() - from));
        }
      }
      break;
  }
}

void Mutator::replaceTextNumber(std::string& input) {
  size_t at = below(input.size());
  while (at < input.size() && !std::isdigit(static_cast<unsigned char>(input[at]))) ++at;
  if (at == input.size()) return;
  size_t end = at;
  while (end < input.size() && std::isdigit(static_cast<unsigned char>(input[end]))) ++end;
  input.replace(at, end - at, kTextNumbers[below(std::size(kTextNumbers))]);
}

void Mutator::overwriteBinaryInteger(std::string& input) {
  static const size_t kWidths[] = {1, 2, 4, 8};
  const size_t width = kWidths[below(4)];
  if (input.size() < width) return;
  uint64_t value = kBinaryIntegers[below(std::size(kBinaryIntegers))];
  if (below(2) == 0) value = __builtin_bswap64(value) >> (64 - 8 * width);  // big-endian too
  std::memcpy(input.data() + below(input.size() - width + 1), &value, width);
}

}  // namespace file_fuzzer
