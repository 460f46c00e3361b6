#include "plugins/file_export/params.h"

#include <type_traits>
#include <variant>

namespace file_export {
namespace {

// The raw bytes of typed data of any element type, as the platform's typed-data object gives them.
std::optional<std::vector<uint8_t>> typedDataBytes(const flutter::Value& value) {
  return std::visit(
      [](const auto& stored) -> std::optional<std::vector<uint8_t>> {
        using Stored = std::decay_t<decltype(stored)>;
        if constexpr (std::is_same_v<Stored, std::vector<uint8_t>>) {
          return stored;
        } else if constexpr (std::is_same_v<Stored, std::vector<int32_t>> ||
                             std::is_same_v<Stored, std::vector<int64_t>> ||
                             std::is_same_v<Stored, std::vector<float>> ||
                             std::is_same_v<Stored, std::vector<double>>) {
          const auto* first = reinterpret_cast<const uint8_t*>(stored.data());
          return std::vector<uint8_t>(first,
                                      first + stored.size() * sizeof(typename Stored::value_type));
        } else {
          return std::nullopt;
        }
      },
      value.storage());
}

std::optional<std::string> stringAt(const flutter::ValueMap& map, std::string_view key) {
  const flutter::Value* value = map.find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

}  // namespace

Params Params::fromMap(const flutter::ValueMap& map) {
  Params params;
  params.fileName = stringAt(map, "name");
  if (const auto* bytes = map.find(std::string_view("bytes")); bytes && !bytes->isNull()) {
    params.bytes = typedDataBytes(*bytes);
    params.bytesOfAnotherType = !params.bytes;
  }
  params.sourcePath = stringAt(map, "sourcePath");
  params.fileExtension = stringAt(map, "fileExtension");
  if (const auto* include = map.find(std::string_view("includeExtension"))) {
    if (include->is<bool>()) params.includeExtension = include->get<bool>();
  }
  return params;
}

std::string Params::proposedFileName() const {
  std::string name = fileName.value_or("file");
  if (includeExtension && fileExtension && !fileExtension->empty()) {
    if (fileExtension->front() != '.') name += ".";
    name += *fileExtension;
  }
  return name;
}

}  // namespace file_export
