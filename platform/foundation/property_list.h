// Property-list values: what information dictionaries and user defaults hold, read and written
// in the platform's XML and binary formats.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

// A point in time as seconds since 2001-01-01 00:00:00 UTC, as property lists store dates.
struct PropertyListDate {
  double secondsSinceReferenceDate = 0;
  friend bool operator==(const PropertyListDate&, const PropertyListDate&) = default;
};

using PropertyListData = std::vector<uint8_t>;

class PropertyList {
 public:
  using Array = std::vector<PropertyList>;
  using Dictionary = std::map<std::string, PropertyList>;
  using Storage = std::variant<bool, int64_t, double, std::string, PropertyListData,
                               PropertyListDate, Array, Dictionary>;

  PropertyList() : storage_(Dictionary{}) {}
  PropertyList(bool value) : storage_(value) {}
  PropertyList(int64_t value) : storage_(value) {}
  PropertyList(int32_t value) : storage_(int64_t{value}) {}
  PropertyList(double value) : storage_(value) {}
  PropertyList(std::string value) : storage_(std::move(value)) {}
  PropertyList(const char* value) : storage_(std::string(value)) {}
  PropertyList(PropertyListData value) : storage_(std::move(value)) {}
  PropertyList(PropertyListDate value) : storage_(value) {}
  PropertyList(Array value) : storage_(std::move(value)) {}
  PropertyList(Dictionary value) : storage_(std::move(value)) {}

  const Storage& storage() const { return storage_; }
  template <typename T>
  const T* getIf() const {
    return std::get_if<T>(&storage_);
  }
  const std::string* asString() const { return getIf<std::string>(); }
  const Dictionary* asDictionary() const { return getIf<Dictionary>(); }
  const PropertyList* find(const std::string& key) const;

  enum class Format { xml, binary };
  // The largest property-list file read or written: 16 MiB.
  static constexpr uint64_t kMaximumFileBytes = uint64_t{16} << 20;

  // A read builds at most kReadBytesPerInputByte bytes of values per byte of its input, plus
  // kReadAllowanceBytes, each value counted as kReadValueBytes plus its text or data; input that
  // would build more is not a property list. A file that shares no values builds at most some 22
  // bytes per byte; the rest is room for files that share small values by reference.
  static constexpr uint64_t kReadValueBytes = 64;
  static constexpr uint64_t kReadBytesPerInputByte = 64;
  static constexpr uint64_t kReadAllowanceBytes = uint64_t{1} << 20;

  // Parses XML or binary property-list bytes; nullopt when they are not a property list.
  static std::optional<PropertyList> parse(std::span<const uint8_t> bytes);
  // Reads only a regular file of at most kMaximumFileBytes, without blocking on what is not one.
  static std::optional<PropertyList> readFile(const std::string& path);
  std::vector<uint8_t> serialize(Format format) const;
  // Writes atomically and durably (durable_file.h: a temporary beside the file, flushed, renamed
  // over it, the directory flushed). True only once all of it succeeded; past
  // kMaximumFileBytes, or when anything fails before the rename, the old file stays and no
  // temporary is left.
  bool writeFile(const std::string& path, Format format) const;

  friend bool operator==(const PropertyList&, const PropertyList&) = default;

 private:
  Storage storage_;
};
