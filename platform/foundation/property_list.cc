#include "platform/foundation/property_list.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/foundation/binary_property_list.h"
#include "platform/foundation/durable_file.h"
#include "platform/foundation/regular_file.h"

namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// The deepest nesting of arrays and dictionaries read, as the binary reader allows.
constexpr int kMaximumNesting = 512;

// libplist's XML reader recurses once per nested element and runs out of stack long before a
// 16 MiB file ends, so the nesting is bounded before it runs. Anything that merely looks like an
// opening tag counts, which can only refuse more.
bool xmlNestingWithinLimit(std::span<const uint8_t> bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  int depth = 0;
  for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    std::string_view tag = text.substr(at + 1);
    const bool closing = tag.starts_with('/');
    if (closing) tag.remove_prefix(1);
    if (!tag.starts_with("array") && !tag.starts_with("dict")) continue;
    const size_t end = tag.find('>');
    const bool empty = end != std::string_view::npos && end > 0 && tag[end - 1] == '/';
    if (closing) {
      --depth;
    } else if (!empty && ++depth > kMaximumNesting) {
      return false;
    }
  }
  return true;
}

// Payload bytes a node's value holds, charged before the value is made.
uint64_t payloadOf(plist_t node) {
  uint64_t length = 0;
  if (plist_get_node_type(node) == PLIST_STRING) plist_get_string_ptr(node, &length);
  if (plist_get_node_type(node) == PLIST_DATA) plist_get_data_ptr(node, &length);
  return length;
}

std::optional<PropertyList> fromNode(plist_t node, int depth,
                                     foundation::PropertyListReadBudget& budget) {
  if (node == nullptr || depth > kMaximumNesting || !budget.charge(payloadOf(node))) {
    return std::nullopt;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return PropertyList(value != 0);
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      // Binary property lists store negative integers in two's complement.
      return PropertyList(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return PropertyList(value);
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return PropertyList(text != nullptr ? std::string(text, length) : std::string());
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const auto* bytes = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
      if (bytes == nullptr) return PropertyList(PropertyListData());
      return PropertyList(PropertyListData(bytes, bytes + length));
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return PropertyList(PropertyListDate{seconds + microseconds / 1e6});
    }
    case PLIST_ARRAY: {
      PropertyList::Array items;
      uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i) {
        auto item = fromNode(plist_array_get_item(node, i), depth + 1, budget);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
      }
      return PropertyList(std::move(items));
    }
    case PLIST_DICT: {
      PropertyList::Dictionary entries;
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (value == nullptr) {
          std::free(key);
          break;
        }
        auto item = fromNode(value, depth + 1, budget);
        std::string name = key != nullptr ? key : "";
        std::free(key);
        if (!item) {
          std::free(iterator);
          return std::nullopt;
        }
        entries.emplace(std::move(name), std::move(*item));
      }
      std::free(iterator);
      return PropertyList(std::move(entries));
    }
    default:
      return std::nullopt;
  }
}

plist_t toNode(const PropertyList& value) {
  return std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return plist_new_bool(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          return plist_new_uint(static_cast<uint64_t>(v));
        } else if constexpr (std::is_same_v<T, double>) {
          return plist_new_real(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return plist_new_string(v.c_str());
        } else if constexpr (std::is_same_v<T, PropertyListData>) {
          return plist_new_data(reinterpret_cast<const char*>(v.data()), v.size());
        } else if constexpr (std::is_same_v<T, PropertyListDate>) {
          auto seconds = static_cast<int32_t>(v.secondsSinceReferenceDate);
          auto micro = static_cast<int32_t>((v.secondsSinceReferenceDate - seconds) * 1e6);
          return plist_new_date(seconds, micro);
        } else if constexpr (std::is_same_v<T, PropertyList::Array>) {
          plist_t array = plist_new_array();
          for (const auto& item : v) plist_array_append_item(array, toNode(item));
          return array;
        } else {
          plist_t dictionary = plist_new_dict();
          for (const auto& [key, item] : v) plist_dict_set_item(dictionary, key.c_str(), toNode(item));
          return dictionary;
        }
      },
      value.storage());
}

}  // namespace

const PropertyList* PropertyList::find(const std::string& key) const {
  const auto* dictionary = asDictionary();
  if (dictionary == nullptr) return nullptr;
  auto found = dictionary->find(key);
  return found == dictionary->end() ? nullptr : &found->second;
}

std::optional<PropertyList> PropertyList::parse(std::span<const uint8_t> bytes) {
  if (foundation::isBinaryPropertyList(bytes)) return foundation::readBinaryPropertyList(bytes);
  // XML cannot hold a zero byte; libplist would take it into a string and then abort on it.
  if (bytes.empty() || bytes.size() > UINT32_MAX ||
      std::memchr(bytes.data(), 0, bytes.size()) != nullptr || !xmlNestingWithinLimit(bytes)) {
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_memory(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<uint32_t>(bytes.size()), &raw);
  PlistPtr node(raw);
  foundation::PropertyListReadBudget budget(bytes.size());
  return fromNode(node.get(), 0, budget);
}

std::optional<PropertyList> PropertyList::readFile(const std::string& path) {
  auto bytes = foundation::readRegularFile(path, kMaximumFileBytes);
  if (!bytes) return std::nullopt;
  return parse(*bytes);
}

std::vector<uint8_t> PropertyList::serialize(Format format) const {
  if (format == Format::binary) return foundation::writeBinaryPropertyList(*this);
  PlistPtr node(toNode(*this));
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_xml(node.get(), &bytes, &length);
  std::vector<uint8_t> result(bytes, bytes + length);
  plist_to_xml_free(bytes);
  return result;
}

bool PropertyList::writeFile(const std::string& path, Format format) const {
  std::vector<uint8_t> bytes = serialize(format);
  if (bytes.size() > kMaximumFileBytes) return false;
  return foundation::replaceFile(path, bytes).has_value();
}
