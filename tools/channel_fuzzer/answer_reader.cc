#include "tools/channel_fuzzer/answer_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace channel_fuzzer {
namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kMaxValues = 64;
constexpr size_t kMaxIdText = 256;

// A lenient walk over the standard codec's bytes. Anything it does not understand ends the walk
// with what it found so far.
class Walker {
 public:
  // Starts at `start`; alignment counts from the first byte, as the codec's does.
  Walker(const Bytes& bytes, size_t start) : bytes_(bytes), at_(start) {}

  bool atEnd() const { return at_ >= bytes_.size(); }
  bool ok() const { return ok_; }

  // Reads one value; collects id-like values under `key`. Text values are also handed back.
  std::optional<std::string> value(const std::string& key, int depth,
                                   std::vector<KeyedValue>* found) {
    uint8_t type = 0;
    if (depth > kMaxDepth || !byte(type)) return fail();
    switch (type) {
      case 0:
      case 1:
      case 2:
        return std::nullopt;
      case 3: {
        int32_t v = 0;
        if (!raw(v)) return fail();
        keep(found, key, Integer{v, false});
        return std::nullopt;
      }
      case 4: {
        int64_t v = 0;
        if (!raw(v)) return fail();
        keep(found, key, Integer{v, true});
        return std::nullopt;
      }
      case 5:
      case 7: {
        size_t length = 0;
        if (!size(length) || bytes_.size() - at_ < length) return fail();
        std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                         bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length));
        at_ += length;
        if (type == 7 && !text.empty() && text.size() <= kMaxIdText) keep(found, key, text);
        return text;
      }
      case 6:
        align(8);
        return skip(8);
      case 8:
      case 9:
      case 10:
      case 11:
      case 14: {
        static constexpr size_t kWidth[] = {1, 4, 8, 8, 0, 0, 4};
        size_t width = kWidth[type == 14 ? 6 : type - 8];
        size_t count = 0;
        if (!size(count)) return fail();
        if (width > 1) align(width);
        if (count > (bytes_.size() - std::min(at_, bytes_.size())) / width) return fail();
        return skip(count * width);
      }
      case 12: {
        size_t count = 0;
        if (!size(count)) return fail();
        for (size_t i = 0; i < count && ok_; ++i) value(key, depth + 1, found);
        return std::nullopt;
      }
      case 13: {
        size_t count = 0;
        if (!size(count)) return fail();
        for (size_t i = 0; i < count && ok_; ++i) {
          auto entry_key = value("", depth + 1, nullptr);
          value(entry_key.value_or(""), depth + 1, found);
        }
        return std::nullopt;
      }
      default:
        if (type < 128) return fail();
        // A plug-in's own type: an object reference or an enumeration carries an integer, a
        // record its field list.
        if (!atEnd() && (bytes_[at_] == 3 || bytes_[at_] == 4)) {
          std::vector<KeyedValue> inner;
          value("", depth + 1, &inner);
          if (!inner.empty()) {
            if (auto* integer = std::get_if<Integer>(&inner.front().value)) {
              keep(found, key, Reference{type, integer->value});
            }
          }
          return std::nullopt;
        }
        return value(key, depth + 1, found);
    }
  }

 private:
  std::nullopt_t fail() {
    ok_ = false;
    at_ = bytes_.size();
    return std::nullopt;
  }
  std::nullopt_t skip(size_t count) {
    if (bytes_.size() - std::min(at_, bytes_.size()) < count) return fail();
    at_ += count;
    return std::nullopt;
  }
  bool byte(uint8_t& out) {
    if (atEnd()) return false;
    out = bytes_[at_++];
    return true;
  }
  template <typename T>
  bool raw(T& out) {
    if (bytes_.size() - std::min(at_, bytes_.size()) < sizeof(T)) return false;
    std::memcpy(&out, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  bool size(size_t& out) {
    uint8_t first = 0;
    if (!byte(first)) return false;
    if (first < 254) {
      out = first;
    } else if (first == 254) {
      uint16_t v = 0;
      if (!raw(v)) return false;
      out = v;
    } else {
      uint32_t v = 0;
      if (!raw(v)) return false;
      out = v;
    }
    return true;
  }
  void align(size_t alignment) {
    if (at_ % alignment != 0) at_ += alignment - at_ % alignment;
  }
  static void keep(std::vector<KeyedValue>* found, const std::string& key, IdValue value) {
    if (found != nullptr && found->size() < kMaxValues) found->push_back({key, std::move(value)});
  }

  const Bytes& bytes_;
  size_t at_;
  bool ok_ = true;
};

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

ReadAnswer errorAnswer(std::string code, std::string message) {
  ReadAnswer answer;
  answer.outcome = isRefusal(code, message) ? Outcome::refused : Outcome::failed;
  answer.code = std::move(code);
  answer.message = std::move(message);
  return answer;
}

}  // namespace

bool isRefusal(const std::string& code, const std::string& message) {
  static const char* const kWords[] = {"argument",  "malformed",      "invalid",       "not found",
                                       "unknown",   "no such",        "bad_",          "missing",
                                       "must be",   "must hold",      "unanswered",    "no window",
                                       "no_window", "encoding_error", "does not exist"};
  const std::string text = lowered(code) + " " + lowered(message);
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char* word) { return text.find(word) != std::string::npos; });
}

ReadAnswer readMethodAnswer(const Bytes& bytes) {
  if (bytes.empty()) return ReadAnswer{Outcome::notImplemented, {}, {}, {}};
  uint8_t envelope = bytes[0];
  Walker body(bytes, 1);
  if (envelope == 0) {
    ReadAnswer answer;
    answer.outcome = Outcome::success;
    body.value("", 0, &answer.values);
    return answer;
  }
  if (envelope != 1) return ReadAnswer{};
  auto code = body.value("", 0, nullptr);
  auto message = body.value("", 0, nullptr);
  return errorAnswer(code.value_or(""), message.value_or(""));
}

ReadAnswer readMessageAnswer(const Bytes& bytes) {
  if (bytes.empty()) return ReadAnswer{Outcome::notImplemented, {}, {}, {}};
  if (bytes[0] != 12 || bytes.size() < 2) return ReadAnswer{};
  size_t count = bytes[1];
  Walker body(bytes, 2);
  if (count == 1 || count == 0) {
    ReadAnswer answer;
    answer.outcome = Outcome::success;
    if (count == 1) body.value("", 0, &answer.values);
    return answer;
  }
  auto code = body.value("", 0, nullptr);
  auto message = body.value("", 0, nullptr);
  return errorAnswer(code.value_or(""), message.value_or(""));
}

}  // namespace channel_fuzzer
