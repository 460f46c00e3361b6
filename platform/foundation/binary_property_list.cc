#include "platform/foundation/binary_property_list.h"

#include <bit>
#include <cstring>
#include <set>
#include <string>

#include "platform/foundation/utf8.h"

namespace foundation {
namespace {

constexpr char kMagic[] = "bplist00";
constexpr size_t kMagicSize = 8;
constexpr size_t kTrailerSize = 32;
constexpr int kMaximumDepth = 512;

uint64_t readBigEndian(const uint8_t* bytes, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
  return value;
}

void appendBigEndian(std::vector<uint8_t>& out, uint64_t value, size_t size) {
  for (size_t i = size; i > 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * (i - 1))));
}

size_t bytesFor(uint64_t value) {
  if (value <= 0xFF) return 1;
  if (value <= 0xFFFF) return 2;
  if (value <= 0xFFFFFFFF) return 4;
  return 8;
}

// UTF-8 to UTF-16 code units; malformed bytes become U+FFFD.
std::u16string toUtf16(const std::string& text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    uint32_t code = 0xFFFD;
    if (length != 0 && i + length <= text.size()) {
      code = length == 1 ? c : c & (0x7F >> length);
      bool valid = true;
      for (size_t k = 1; k < length && valid; ++k) {
        auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
      }
      if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
        length = 1;
      }
    } else {
      length = 1;
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

class Writer {
 public:
  std::vector<uint8_t> write(const PropertyList& root) {
    count(root);
    ref_size_ = bytesFor(object_count_ == 0 ? 0 : object_count_ - 1);
    out_.assign(kMagic, kMagic + kMagicSize);
    writeObject(root);
    const uint64_t table_offset = out_.size();
    const size_t offset_size = bytesFor(table_offset);
    for (uint64_t offset : offsets_) appendBigEndian(out_, offset, offset_size);
    out_.insert(out_.end(), 6, 0);
    out_.push_back(static_cast<uint8_t>(offset_size));
    out_.push_back(static_cast<uint8_t>(ref_size_));
    appendBigEndian(out_, object_count_, 8);
    appendBigEndian(out_, 0, 8);
    appendBigEndian(out_, table_offset, 8);
    return std::move(out_);
  }

 private:
  void count(const PropertyList& value) {
    ++object_count_;
    if (const auto* array = value.getIf<PropertyList::Array>()) {
      for (const auto& item : *array) count(item);
    } else if (const auto* dictionary = value.asDictionary()) {
      object_count_ += dictionary->size();
      for (const auto& [key, item] : *dictionary) count(item);
    }
  }

  void marker(uint8_t kind, uint64_t size) {
    if (size < 15) {
      out_.push_back(static_cast<uint8_t>(kind | size));
      return;
    }
    out_.push_back(static_cast<uint8_t>(kind | 0xF));
    integer(static_cast<int64_t>(size));
  }

  void integer(int64_t value) {
    size_t size = value < 0 ? 8 : bytesFor(static_cast<uint64_t>(value));
    out_.push_back(static_cast<uint8_t>(0x10 | std::countr_zero(size)));
    appendBigEndian(out_, static_cast<uint64_t>(value), size);
  }

  void string(const std::string& text) {
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
      marker(0x50, text.size());
      out_.insert(out_.end(), text.begin(), text.end());
      return;
    }
    std::u16string units = toUtf16(text);
    marker(0x60, units.size());
    for (char16_t unit : units) appendBigEndian(out_, unit, 2);
  }

  // Objects are numbered in the order they are written: a container, then its children.
  uint64_t writeObject(const PropertyList& value) {
    const uint64_t index = offsets_.size();
    offsets_.push_back(out_.size());
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, bool>) {
            out_.push_back(v ? 0x09 : 0x08);
          } else if constexpr (std::is_same_v<T, int64_t>) {
            integer(v);
          } else if constexpr (std::is_same_v<T, double>) {
            out_.push_back(0x23);
            appendBigEndian(out_, std::bit_cast<uint64_t>(v), 8);
          } else if constexpr (std::is_same_v<T, std::string>) {
            string(v);
          } else if constexpr (std::is_same_v<T, PropertyListData>) {
            marker(0x40, v.size());
            out_.insert(out_.end(), v.begin(), v.end());
          } else if constexpr (std::is_same_v<T, PropertyListDate>) {
            out_.push_back(0x33);
            appendBigEndian(out_, std::bit_cast<uint64_t>(v.secondsSinceReferenceDate), 8);
          } else if constexpr (std::is_same_v<T, PropertyList::Array>) {
            marker(0xA0, v.size());
            size_t refs = reserveRefs(v.size());
            for (size_t i = 0; i < v.size(); ++i) setRef(refs, i, writeObject(v[i]));
          } else {
            marker(0xD0, v.size());
            size_t refs = reserveRefs(2 * v.size());
            size_t i = 0;
            for (const auto& [key, item] : v) {
              setRef(refs, i, writeObject(PropertyList(key)));
              setRef(refs, v.size() + i, writeObject(item));
              ++i;
            }
          }
        },
        value.storage());
    return index;
  }

  size_t reserveRefs(size_t count) {
    size_t start = out_.size();
    out_.insert(out_.end(), count * ref_size_, 0);
    return start;
  }

  void setRef(size_t start, size_t slot, uint64_t index) {
    size_t at = start + slot * ref_size_;
    for (size_t i = 0; i < ref_size_; ++i) {
      out_[at + i] = static_cast<uint8_t>(index >> (8 * (ref_size_ - 1 - i)));
    }
  }

  std::vector<uint8_t> out_;
  std::vector<uint64_t> offsets_;
  uint64_t object_count_ = 0;
  size_t ref_size_ = 1;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes), budget_(bytes.size()) {}

  std::optional<PropertyList> read() {
    if (bytes_.size() < kMagicSize + kTrailerSize) return std::nullopt;
    const uint8_t* trailer = bytes_.data() + bytes_.size() - kTrailerSize;
    offset_size_ = trailer[6];
    ref_size_ = trailer[7];
    object_count_ = readBigEndian(trailer + 8, 8);
    const uint64_t top = readBigEndian(trailer + 16, 8);
    table_offset_ = readBigEndian(trailer + 24, 8);
    const uint64_t body_end = bytes_.size() - kTrailerSize;
    if (offset_size_ < 1 || offset_size_ > 8 || ref_size_ < 1 || ref_size_ > 8) return std::nullopt;
    if (object_count_ == 0 || top >= object_count_ || table_offset_ < kMagicSize ||
        table_offset_ > body_end || (body_end - table_offset_) / offset_size_ < object_count_) {
      return std::nullopt;
    }
    return object(top, 0);
  }

 private:
  // Whether `size` bytes from `offset` lie inside the object area.
  bool fits(uint64_t offset, uint64_t size) const {
    return offset <= table_offset_ && size <= table_offset_ - offset;
  }

  std::optional<uint64_t> offsetOf(uint64_t index) const {
    uint64_t offset = readBigEndian(bytes_.data() + table_offset_ + index * offset_size_, offset_size_);
    if (offset < kMagicSize || offset >= table_offset_) return std::nullopt;
    return offset;
  }

  // The element count after a marker, and where the elements start.
  std::optional<std::pair<uint64_t, uint64_t>> length(uint8_t low, uint64_t at) const {
    if (low != 0xF) return std::make_pair(uint64_t{low}, at);
    if (!fits(at, 1) || (bytes_[at] & 0xF0) != 0x10) return std::nullopt;
    const uint64_t size = uint64_t{1} << (bytes_[at] & 0x0F);
    if (size > 8 || !fits(at + 1, size)) return std::nullopt;
    return std::make_pair(readBigEndian(bytes_.data() + at + 1, size), at + 1 + size);
  }

  std::optional<uint64_t> ref(uint64_t at, uint64_t slot) const {
    uint64_t index = readBigEndian(bytes_.data() + at + slot * ref_size_, ref_size_);
    if (index >= object_count_) return std::nullopt;
    return index;
  }

  std::optional<PropertyList> object(uint64_t index, int depth) {
    // Shared references are copied out; the budget keeps a small file of many references to
    // the same values from growing beyond its size.
    if (depth > kMaximumDepth || on_path_.contains(index)) return std::nullopt;
    auto offset = offsetOf(index);
    if (!offset) return std::nullopt;
    const uint8_t marker = bytes_[*offset];
    const uint8_t low = marker & 0x0F;
    const uint64_t at = *offset + 1;
    // Text and data are charged with their payload below; every other value here.
    const uint8_t kind = marker >> 4;
    if (kind != 0x4 && kind != 0x5 && kind != 0x6 && !budget_.charge(0)) return std::nullopt;
    switch (kind) {
      case 0x0:
        if (marker == 0x08) return PropertyList(false);
        if (marker == 0x09) return PropertyList(true);
        return std::nullopt;
      case 0x1: {
        if (low > 4 || !fits(at, uint64_t{1} << low)) return std::nullopt;
        if (low == 4) {  // 16 bytes: only values that fit 64 bits are kept
          return PropertyList(static_cast<int64_t>(readBigEndian(bytes_.data() + at + 8, 8)));
        }
        return PropertyList(static_cast<int64_t>(readBigEndian(bytes_.data() + at, size_t{1} << low)));
      }
      case 0x2: {
        if (low == 2 && fits(at, 4)) {
          return PropertyList(static_cast<double>(
              std::bit_cast<float>(static_cast<uint32_t>(readBigEndian(bytes_.data() + at, 4)))));
        }
        if (low == 3 && fits(at, 8)) {
          return PropertyList(std::bit_cast<double>(readBigEndian(bytes_.data() + at, 8)));
        }
        return std::nullopt;
      }
      case 0x3:
        if (marker != 0x33 || !fits(at, 8)) return std::nullopt;
        return PropertyList(PropertyListDate{std::bit_cast<double>(readBigEndian(bytes_.data() + at, 8))});
      case 0x4: {
        auto size = length(low, at);
        if (!size || !fits(size->second, size->first) || !budget_.charge(size->first)) {
          return std::nullopt;
        }
        const uint8_t* start = bytes_.data() + size->second;
        return PropertyList(PropertyListData(start, start + size->first));
      }
      case 0x5: {
        auto size = length(low, at);
        if (!size || !fits(size->second, size->first) || !budget_.charge(size->first)) {
          return std::nullopt;
        }
        const auto* start = reinterpret_cast<const char*>(bytes_.data() + size->second);
        std::string text(start, size->first);
        for (char c : text) {
          if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        }
        return PropertyList(std::move(text));
      }
      case 0x6: {
        auto size = length(low, at);
        // A code unit becomes at most three bytes of UTF-8.
        if (!size || size->first > table_offset_ / 2 || !fits(size->second, size->first * 2) ||
            !budget_.charge(size->first * 3)) {
          return std::nullopt;
        }
        std::string text;
        const uint8_t* units = bytes_.data() + size->second;
        for (uint64_t i = 0; i < size->first; ++i) {
          uint32_t code = static_cast<uint32_t>(readBigEndian(units + 2 * i, 2));
          if (code >= 0xD800 && code <= 0xDBFF && i + 1 < size->first) {
            uint32_t low_unit = static_cast<uint32_t>(readBigEndian(units + 2 * (i + 1), 2));
            if (low_unit >= 0xDC00 && low_unit <= 0xDFFF) {
              code = 0x10000 + ((code - 0xD800) << 10) + (low_unit - 0xDC00);
              ++i;
            } else {
              code = 0xFFFD;
            }
          } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
          }
          appendUtf8(text, code);
        }
        return PropertyList(std::move(text));
      }
      case 0xA:
      case 0xD: {
        const bool is_dictionary = (marker >> 4) == 0xD;
        auto size = length(low, at);
        const uint64_t slots = size ? size->first * (is_dictionary ? 2 : 1) : 0;
        // Elements may share objects, so only the bytes bound their count.
        if (!size || size->first > table_offset_ || !fits(size->second, slots * ref_size_)) {
          return std::nullopt;
        }
        on_path_.insert(index);
        std::optional<PropertyList> result;
        if (is_dictionary) {
          PropertyList::Dictionary entries;
          bool ok = true;
          for (uint64_t i = 0; ok && i < size->first; ++i) {
            auto key_ref = ref(size->second, i);
            auto value_ref = ref(size->second, size->first + i);
            auto key = key_ref ? object(*key_ref, depth + 1) : std::nullopt;
            auto value = value_ref ? object(*value_ref, depth + 1) : std::nullopt;
            ok = key && value && key->asString() != nullptr;
            if (ok) entries.insert_or_assign(*key->asString(), std::move(*value));
          }
          if (ok) result = PropertyList(std::move(entries));
        } else {
          PropertyList::Array items;
          bool ok = true;
          for (uint64_t i = 0; ok && i < size->first; ++i) {
            auto item_ref = ref(size->second, i);
            auto item = item_ref ? object(*item_ref, depth + 1) : std::nullopt;
            ok = item.has_value();
            if (ok) items.push_back(std::move(*item));
          }
          if (ok) result = PropertyList(std::move(items));
        }
        on_path_.erase(index);
        return result;
      }
      default:
        return std::nullopt;
    }
  }

  std::span<const uint8_t> bytes_;
  size_t offset_size_ = 0;
  size_t ref_size_ = 0;
  uint64_t object_count_ = 0;
  uint64_t table_offset_ = 0;
  std::set<uint64_t> on_path_;
  PropertyListReadBudget budget_;
};

}  // namespace

PropertyListReadBudget::PropertyListReadBudget(uint64_t inputBytes)
    : left_(inputBytes * PropertyList::kReadBytesPerInputByte + PropertyList::kReadAllowanceBytes) {
}

bool PropertyListReadBudget::charge(uint64_t payloadBytes) {
  if (payloadBytes > left_ || PropertyList::kReadValueBytes > left_ - payloadBytes) {
    left_ = 0;
    return false;
  }
  left_ -= PropertyList::kReadValueBytes + payloadBytes;
  return true;
}

bool isBinaryPropertyList(std::span<const uint8_t> bytes) {
  return bytes.size() >= kMagicSize && std::memcmp(bytes.data(), kMagic, kMagicSize) == 0;
}

std::optional<PropertyList> readBinaryPropertyList(std::span<const uint8_t> bytes) {
  if (!isBinaryPropertyList(bytes)) return std::nullopt;
  return Reader(bytes).read();
}

std::vector<uint8_t> writeBinaryPropertyList(const PropertyList& value) {
  return Writer().write(value);
}

}  // namespace foundation
