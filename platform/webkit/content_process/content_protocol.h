// The messages between a web view and its content process, and their encoding: a kind byte,
// then fields in little-endian order. Strings are a 32-bit length and UTF-8 bytes; script values
// are trees of a tag byte and its contents (undefined, null, booleans, numbers, strings, arrays,
// dictionaries with string keys).
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/webkit/content_process/content_limits.h"

namespace webkit::content {

enum class Kind : uint8_t {
  // To the content process. Each request but kAck is answered before the next is sent.
  kLoadPage = 1,    // budget, title?, handler names, scripts: a fresh page, then its scripts
  kRunScripts = 2,  // budget, handler names, scripts: more scripts in the current page
  kEvaluate = 3,    // budget, handler names, script: answered with kResult
  kAck = 4,         // bytes of posted messages the host has let go of
  kRaiseFatal = 5,  // a test's: the engine's fatal error inside a protected call
  // From the content process.
  kReady = 10,
  kTitle = 11,        // the page's title, coalesced: sent before a post and before an answer
  kPost = 12,         // handler name, body value
  kResult = 13,       // value, or error code and message
  kScriptsDone = 14,  // CPU nanoseconds the scripts took, then their failures as log texts
};

enum class ValueTag : uint8_t {
  kUndefined = 0,
  kNull = 1,
  kFalse = 2,
  kTrue = 3,
  kInteger = 4,
  kDouble = 5,
  kString = 6,
  kArray = 7,
  kDictionary = 8,
};

class ProtocolWriter {
 public:
  ProtocolWriter() = default;
  explicit ProtocolWriter(Kind kind) { bytes_.push_back(static_cast<uint8_t>(kind)); }
  void append(std::span<const uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  // A 32-bit field written later with patchU32, for counts known only afterwards.
  size_t reserveU32() {
    bytes_.resize(bytes_.size() + 4);
    return bytes_.size() - 4;
  }
  void patchU32(size_t at, uint32_t value);
  void byte(uint8_t value) { bytes_.push_back(value); }
  void u32(uint32_t value);
  void u64(uint64_t value);
  void f64(double value);
  void string(std::string_view text);
  void strings(const std::vector<std::string>& texts);
  size_t size() const { return bytes_.size(); }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads fields in order; any read past the end, or a length past what is left, fails the reader
// for good (ok() turns false and every later read answers zero values).
class ProtocolReader {
 public:
  explicit ProtocolReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t byte();
  uint32_t u32();
  uint64_t u64();
  double f64();
  std::string string();
  std::vector<std::string> strings();
  bool ok() const { return ok_; }
  // The bytes from here to the end; the reader is then at its end.
  std::span<const uint8_t> rest();
  bool atEnd() const { return ok_ && offset_ == bytes_.size(); }
  size_t remaining() const { return ok_ ? bytes_.size() - offset_ : 0; }
  void fail() { ok_ = false; }

 private:
  bool take(void* out, size_t count);

  std::span<const uint8_t> bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

// Cuts `title` to kMaxTitleBytes, at a character boundary.
void cutTitle(std::string& title);

// How long a request may run, as sent.
inline uint32_t budgetMilliseconds(long long milliseconds) {
  return static_cast<uint32_t>(
      std::max<long long>(0, std::min<long long>(milliseconds, 0xFFFFFFFFLL)));
}

}  // namespace webkit::content
