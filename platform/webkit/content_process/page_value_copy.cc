#include "platform/webkit/content_process/page_value_copy.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "duktape_page_checks.h"
#include "platform/foundation/utf8.h"
#include "platform/webkit/content_process/content_protocol.h"

namespace webkit {
namespace {

using content::ProtocolWriter;
using content::ValueTag;

// The class numbers duk_inspect_value reports for an ordinary object and an array.
constexpr int kObjectClass = 1;
constexpr int kArrayClass = 2;

void writeNumber(ProtocolWriter& out, double number) {
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  bool integral = std::isfinite(number) && std::trunc(number) == number &&
                  std::fabs(number) <= kExactIntegers && !(number == 0 && std::signbit(number));
  if (integral) {
    out.byte(static_cast<uint8_t>(ValueTag::kInteger));
    out.u64(static_cast<uint64_t>(static_cast<int64_t>(number)));
  } else {
    out.byte(static_cast<uint8_t>(ValueTag::kDouble));
    out.f64(number);
  }
}

// The engine's class of the object at `index`, which no page can change (not even through
// Symbol.toStringTag).
int classOf(duk_context* context, duk_idx_t index) {
  duk_inspect_value(context, index);
  duk_get_prop_string(context, -1, "class");
  int number = duk_get_int(context, -1);
  duk_pop_2(context);
  return number;
}

// The prototype of the object at `index`, by identity; null for none.
void* prototypeOf(duk_context* context, duk_idx_t index) {
  duk_get_prototype(context, index);
  void* prototype = duk_get_heapptr(context, -1);
  duk_pop(context);
  return prototype;
}

// Whether the key on the top of the stack is an array index: a canonical decimal below 2^32 - 1.
bool isArrayIndexKey(duk_context* context) {
  duk_size_t length = 0;
  const char* key = duk_get_lstring(context, -1, &length);
  if (key == nullptr || length == 0 || length > 10 || (key[0] == '0' && length > 1)) return false;
  uint64_t number = 0;
  for (duk_size_t i = 0; i < length; ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
    number = number * 10 + static_cast<uint64_t>(key[i] - '0');
  }
  return number < 0xFFFFFFFFu;
}

// Whether the object at `index` has own array-index properties, enumerable or not. The engine
// lists an array's non-enumerable "length" among its indices, so each key is checked.
bool hasOwnIndices(duk_context* context, duk_idx_t index) {
  duk_enum(context, index,
           DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE |
               DUK_ENUM_ARRAY_INDICES_ONLY | DUK_ENUM_NO_PROXY_BEHAVIOR);
  bool any = false;
  while (!any && duk_next(context, -1, 0)) {
    any = isArrayIndexKey(context);
    duk_pop(context);
  }
  duk_pop(context);
  return any;
}

class Writer {
 public:
  Writer(duk_context* context, const EnginePrototypes& prototypes, size_t maxValues,
         size_t maxBytes)
      : context_(context), prototypes_(prototypes), values_left_(maxValues), max_bytes_(maxBytes) {}

  PageValueCopy write(duk_idx_t index, int depth) {
    if (values_left_ == 0 || out_.size() > max_bytes_) return PageValueCopy::tooLarge;
    --values_left_;
    index = duk_normalize_index(context_, index);
    switch (duk_get_type(context_, index)) {
      case DUK_TYPE_UNDEFINED:
        out_.byte(static_cast<uint8_t>(ValueTag::kUndefined));
        return PageValueCopy::written;
      case DUK_TYPE_NULL:
        out_.byte(static_cast<uint8_t>(ValueTag::kNull));
        return PageValueCopy::written;
      case DUK_TYPE_BOOLEAN:
        out_.byte(static_cast<uint8_t>(duk_get_boolean(context_, index) ? ValueTag::kTrue
                                                                        : ValueTag::kFalse));
        return PageValueCopy::written;
      case DUK_TYPE_NUMBER:
        writeNumber(out_, duk_get_number(context_, index));
        return PageValueCopy::written;
      case DUK_TYPE_STRING:
        if (duk_is_symbol(context_, index)) return PageValueCopy::unsupported;
        out_.byte(static_cast<uint8_t>(ValueTag::kString));
        out_.string(toUtf8(context_, index));
        return PageValueCopy::written;
      case DUK_TYPE_OBJECT:
        break;
      default:  // plain buffers, pointers, lightweight functions
        return PageValueCopy::unsupported;
    }
    // A proxy cannot be cloned, whatever it stands for; it is refused before any trap can run.
    if (depth >= kMaxPageValueDepth || webkit_is_proxy(context_, index) ||
        duk_is_function(context_, index) || duk_is_buffer_data(context_, index)) {
      return PageValueCopy::unsupported;
    }
    // Each level holds an inspection, an enumerator and a key and value at once.
    duk_require_stack(context_, 4);
    if (duk_is_array(context_, index)) {
      if (classOf(context_, index) != kArrayClass) return PageValueCopy::unsupported;
      return writeArray(index, depth);
    }
    if (classOf(context_, index) != kObjectClass) return PageValueCopy::unsupported;
    return writeObject(index, depth);
  }

  std::vector<uint8_t> take() { return out_.take(); }
  size_t size() const { return out_.size(); }

 private:
  // Missing elements read nothing of the page when the array's prototypes are the engine's own,
  // holding no elements of their own: then each is read by its index, else only the own ones.
  bool missingElementsReadNothing(duk_idx_t index) {
    if (prototypeOf(context_, index) != prototypes_.array) return false;
    duk_push_heapptr(context_, prototypes_.array);
    bool clean = prototypeOf(context_, -1) == prototypes_.object && !hasOwnIndices(context_, -1);
    duk_pop(context_);
    if (!clean) return false;
    duk_push_heapptr(context_, prototypes_.object);
    clean = prototypeOf(context_, -1) == nullptr && !hasOwnIndices(context_, -1);
    duk_pop(context_);
    return clean;
  }

  PageValueCopy writeElement(int depth) {
    if (duk_is_undefined(context_, -1)) {
      if (values_left_ == 0) return PageValueCopy::tooLarge;
      --values_left_;
      out_.byte(static_cast<uint8_t>(ValueTag::kNull));
      return PageValueCopy::written;
    }
    return write(-1, depth + 1);
  }

  PageValueCopy writeArray(duk_idx_t index, int depth) {
    duk_size_t length = duk_get_length(context_, index);
    if (length > values_left_) return PageValueCopy::tooLarge;
    out_.byte(static_cast<uint8_t>(ValueTag::kArray));
    out_.u32(static_cast<uint32_t>(length));
    if (missingElementsReadNothing(index)) {
      for (duk_size_t i = 0; i < length; ++i) {
        duk_get_prop_index(context_, index, static_cast<duk_uarridx_t>(i));
        if (auto copy = writeElement(depth); copy != PageValueCopy::written) return copy;
        duk_pop(context_);
      }
      return PageValueCopy::written;
    }
    duk_enum(context_, index,
             DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_ARRAY_INDICES_ONLY |
                 DUK_ENUM_SORT_ARRAY_INDICES | DUK_ENUM_NO_PROXY_BEHAVIOR);
    duk_size_t next = 0;
    while (duk_next(context_, -1, 1)) {
      auto at = static_cast<duk_size_t>(duk_to_number(context_, -2));
      for (; next < at && next < length; ++next) {
        duk_push_undefined(context_);
        if (auto copy = writeElement(depth); copy != PageValueCopy::written) return copy;
        duk_pop(context_);
      }
      if (next < length) {
        if (auto copy = writeElement(depth); copy != PageValueCopy::written) return copy;
        ++next;
      }
      duk_pop_2(context_);
    }
    duk_pop(context_);
    for (; next < length; ++next) {
      duk_push_undefined(context_);
      if (auto copy = writeElement(depth); copy != PageValueCopy::written) return copy;
      duk_pop(context_);
    }
    return PageValueCopy::written;
  }

  PageValueCopy writeObject(duk_idx_t index, int depth) {
    out_.byte(static_cast<uint8_t>(ValueTag::kDictionary));
    size_t count_at = out_.reserveU32();
    uint32_t count = 0;
    duk_enum(context_, index, DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_NO_PROXY_BEHAVIOR);
    while (duk_next(context_, -1, 1)) {
      if (!duk_is_undefined(context_, -1)) {
        out_.string(toUtf8(context_, -2));
        if (auto copy = write(-1, depth + 1); copy != PageValueCopy::written) return copy;
        ++count;
      }
      duk_pop_2(context_);
    }
    duk_pop(context_);
    out_.patchU32(count_at, count);
    return PageValueCopy::written;
  }

  duk_context* context_;
  const EnginePrototypes& prototypes_;
  size_t values_left_;
  size_t max_bytes_;
  ProtocolWriter out_;
};

}  // namespace

std::string toUtf8(duk_context* context, duk_idx_t index) {
  duk_size_t length = 0;
  const char* raw = duk_get_lstring(context, index, &length);
  std::string out;
  if (raw == nullptr) return out;
  // Only surrogates (encoded from 0xED) need work.
  if (std::memchr(raw, 0xED, length) == nullptr) return std::string(raw, length);
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw);
  auto surrogateAt = [&](size_t at) -> uint32_t {
    if (at + 2 >= length || bytes[at] != 0xED || (bytes[at + 1] & 0xC0) != 0x80) return 0;
    return 0xD000 | ((bytes[at + 1] & 0x3F) << 6) | (bytes[at + 2] & 0x3F);
  };
  for (size_t i = 0; i < length;) {
    uint32_t high = surrogateAt(i);
    if (high >= 0xD800 && high <= 0xDBFF) {
      uint32_t low = surrogateAt(i + 3);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        foundation::appendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
        i += 6;
      } else {
        foundation::appendUtf8(out, 0xFFFD);
        i += 3;
      }
    } else if (high >= 0xDC00 && high <= 0xDFFF) {
      foundation::appendUtf8(out, 0xFFFD);
      i += 3;
    } else {
      out.push_back(static_cast<char>(bytes[i]));
      ++i;
    }
  }
  return out;
}

EnginePrototypes EnginePrototypes::of(duk_context* context) {
  EnginePrototypes prototypes;
  duk_push_array(context);
  duk_get_prototype(context, -1);
  prototypes.array = duk_get_heapptr(context, -1);
  duk_push_object(context);
  duk_get_prototype(context, -1);
  prototypes.object = duk_get_heapptr(context, -1);
  duk_pop_n(context, 4);
  return prototypes;
}

PageValueCopy writePageValue(duk_context* context, duk_idx_t index,
                             const EnginePrototypes& prototypes, size_t maxValues, size_t maxBytes,
                             std::vector<uint8_t>& out) {
  duk_idx_t top = duk_get_top(context);
  Writer writer(context, prototypes, maxValues, maxBytes);
  auto copy = writer.write(index, 0);
  duk_set_top(context, top);
  if (copy == PageValueCopy::written && writer.size() > maxBytes) copy = PageValueCopy::tooLarge;
  if (copy == PageValueCopy::written) out = writer.take();
  return copy;
}

}  // namespace webkit
