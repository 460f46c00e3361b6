// The one binary encoding of what the host and its workers say to each other, inside the framing
// of worker_frame.h: fields in order, integers and doubles little-endian, texts as a 32-bit length
// and their bytes. Each side reads the other as untrusted: above all the host, since what a worker
// runs (a page, a document) may have taken it over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace worker {

class MessageWriter {
 public:
  MessageWriter() = default;
  // Goes on after `start`, bytes the message begins with (a document handed over whole).
  explicit MessageWriter(std::vector<uint8_t> start) : bytes_(std::move(start)) {}

  void reserve(size_t bytes) { bytes_.reserve(bytes); }
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

// Reads fields in order; any read past the end, or a count or length past what is left, fails
// the reader for good (ok() turns false and every later read answers zero values).
class MessageReader {
 public:
  explicit MessageReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t byte();
  uint32_t u32();
  uint64_t u64();
  double f64();
  std::string string();
  std::vector<std::string> strings();
  // A count of items that take at least `leastBytesEach` each: one the bytes left cannot hold
  // fails the reader (and answers 0), so that nothing is allocated for what is not there.
  uint32_t count(size_t leastBytesEach);
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

}  // namespace worker
