#include "plugins/file_export/params.h"

namespace file_export {
namespace {

std::optional<std::string> stringAt(const flutter::ValueMap& map, std::string_view key) {
  const flutter::Value* value = map.find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

}  // namespace

Params Params::fromMap(const flutter::ValueMap& map) {
  Params params;
  params.fileName = stringAt(map, "name");
  if (const auto* bytes = map.find(std::string_view("bytes"))) {
    if (const auto* data = bytes->getIf<std::vector<uint8_t>>()) params.bytes = *data;
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
