#include "plugins/file_export/params.h"

#include "platform/flutter/argument_reader.h"

namespace file_export {

Params Params::fromMap(const flutter::ValueMap& map) {
  Params params;
  params.fileName = flutter::stringAt(map, "name");
  if (const auto* bytes = map.find(std::string_view("bytes")); bytes && !bytes->isNull()) {
    if (auto raw = flutter::typedDataBytes(*bytes)) {
      params.bytes.emplace(raw->begin(), raw->end());
    } else {
      params.bytesOfAnotherType = true;
    }
  }
  params.sourcePath = flutter::stringAt(map, "sourcePath");
  params.fileExtension = flutter::stringAt(map, "fileExtension");
  params.includeExtension = flutter::booleanAt(map, "includeExtension").value_or(true);
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
