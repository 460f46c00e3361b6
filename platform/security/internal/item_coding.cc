#include "platform/security/internal/item_coding.h"

#include <cstring>

#include "platform/security/internal/attribute_schema.h"
#include "platform/security/sec_item_constants.h"

namespace security::internal {
namespace {

enum Tag : uint8_t {
  kAbsent = 0,
  kFalse = 'f',
  kTrue = 't',
  kInteger = 'i',
  kReal = 'r',
  kString = 's',
  kData = 'd',
  kDate = 'D',
};

class Writer {
 public:
  void byte(uint8_t value) { bytes_.push_back(value); }
  void fixed64(uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8)
      bytes_.push_back(static_cast<uint8_t>(value >> shift));
  }
  void real(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    fixed64(bits);
  }
  void bytes(const void* data, size_t size) {
    fixed64(size);
    auto* first = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), first, first + size);
  }
  // Answers false for a value that has no stored form.
  bool value(const CFValue& value) {
    const auto& storage = value.storage();
    if (auto* flag = std::get_if<bool>(&storage)) {
      byte(*flag ? kTrue : kFalse);
    } else if (auto* integer = std::get_if<int64_t>(&storage)) {
      byte(kInteger);
      fixed64(static_cast<uint64_t>(*integer));
    } else if (auto* number = std::get_if<double>(&storage)) {
      byte(kReal);
      real(*number);
    } else if (auto* text = std::get_if<std::string>(&storage)) {
      byte(kString);
      bytes(text->data(), text->size());
    } else if (auto* data = std::get_if<CFBytes>(&storage)) {
      byte(kData);
      bytes(data->data(), data->size());
    } else if (auto* date = std::get_if<CFDate>(&storage)) {
      byte(kDate);
      real(date->absoluteTime);
    } else {
      return false;
    }
    return true;
  }
  CFBytes take() { return std::move(bytes_); }

 private:
  CFBytes bytes_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool atEnd() const { return offset_ == bytes_.size(); }
  std::optional<uint8_t> byte() {
    if (offset_ >= bytes_.size()) return std::nullopt;
    return bytes_[offset_++];
  }
  std::optional<uint64_t> fixed64() {
    if (bytes_.size() - offset_ < 8) return std::nullopt;
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | bytes_[offset_ + static_cast<size_t>(i)];
    offset_ += 8;
    return value;
  }
  std::optional<double> real() {
    auto bits = fixed64();
    if (!bits) return std::nullopt;
    double value;
    std::memcpy(&value, &*bits, sizeof value);
    return value;
  }
  std::optional<std::span<const uint8_t>> bytes() {
    auto size = fixed64();
    if (!size || *size > bytes_.size() - offset_) return std::nullopt;
    auto span = bytes_.subspan(offset_, static_cast<size_t>(*size));
    offset_ += static_cast<size_t>(*size);
    return span;
  }
  std::optional<CFValue> value() {
    auto tag = byte();
    if (!tag) return std::nullopt;
    switch (*tag) {
      case kFalse:
        return CFValue(false);
      case kTrue:
        return CFValue(true);
      case kInteger:
        if (auto integer = fixed64()) return CFValue(static_cast<int64_t>(*integer));
        return std::nullopt;
      case kReal:
        if (auto number = real()) return CFValue(*number);
        return std::nullopt;
      case kString:
        if (auto text = bytes()) return CFValue(std::string(text->begin(), text->end()));
        return std::nullopt;
      case kData:
        if (auto data = bytes()) return CFValue(CFBytes(data->begin(), data->end()));
        return std::nullopt;
      case kDate:
        if (auto time = real()) return CFValue(CFDate{*time});
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t offset_ = 0;
};

constexpr char kReferenceMagic[] = "kcref1";
constexpr size_t kReferenceMagicLength = sizeof kReferenceMagic - 1;

}  // namespace

CFBytes encodeAttributes(const CFDictionary& attributes) {
  Writer writer;
  for (const auto& [key, value] : attributes) {
    Writer entry;
    if (!entry.value(value)) continue;
    writer.bytes(key.data(), key.size());
    writer.value(value);
  }
  return writer.take();
}

std::optional<CFDictionary> decodeAttributes(std::span<const uint8_t> bytes) {
  Reader reader(bytes);
  CFDictionary attributes;
  while (!reader.atEnd()) {
    auto key = reader.bytes();
    if (!key) return std::nullopt;
    auto value = reader.value();
    if (!value) return std::nullopt;
    attributes.set(std::string(key->begin(), key->end()), std::move(*value));
  }
  return attributes;
}

CFBytes identityOf(const KeychainItem& item) {
  Writer writer;
  for (const auto& key : identityAttributes(item.itemClass)) {
    const CFValue* value = item.attributes.find(key);
    if (value == nullptr || !writer.value(*value)) writer.byte(kAbsent);
  }
  const CFValue* synchronizable = item.attributes.find(kSecAttrSynchronizable);
  writer.byte(synchronizable != nullptr && synchronizable->boolValue().value_or(false) ? kTrue
                                                                                       : kFalse);
  return writer.take();
}

CFBytes identityPrefixOf(const std::string& itemClass, const CFDictionary& filters,
                         std::optional<bool> synchronized) {
  Writer writer;
  for (const auto& key : identityAttributes(itemClass)) {
    const CFValue* value = filters.find(key);
    // An identity holds no stored form for such a value: the prefix ends before it.
    if (value == nullptr || !Writer().value(*value)) return writer.take();
    writer.value(*value);
  }
  if (synchronized) writer.byte(*synchronized ? kTrue : kFalse);
  return writer.take();
}

CFBytes persistentReference(const KeychainItem& item) {
  CFBytes reference(kReferenceMagic, kReferenceMagic + kReferenceMagicLength);
  reference.push_back(item.keychain == kDataProtectionKeychain ? 'p' : 'f');
  for (int shift = 0; shift < 64; shift += 8) {
    reference.push_back(static_cast<uint8_t>(static_cast<uint64_t>(item.id) >> shift));
  }
  return reference;
}

std::optional<int64_t> itemIdOfPersistentReference(const CFBytes& reference,
                                                   const std::string& keychain) {
  if (reference.size() != kReferenceMagicLength + 1 + 8 ||
      std::memcmp(reference.data(), kReferenceMagic, kReferenceMagicLength) != 0) {
    return std::nullopt;
  }
  char marker = keychain == kDataProtectionKeychain ? 'p' : 'f';
  if (reference[kReferenceMagicLength] != marker) return std::nullopt;
  uint64_t id = 0;
  for (size_t i = reference.size(); i > kReferenceMagicLength + 1; --i)
    id = id << 8 | reference[i - 1];
  return static_cast<int64_t>(id);
}

}  // namespace security::internal
