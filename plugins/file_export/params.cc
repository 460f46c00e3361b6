#include "plugins/file_export/params.h"

#include "platform/flutter/argument_reader.h"

namespace file_export {

Params Params::fromMap(const flutter::ValueMap& map) {
  const flutter::ArgumentReader args(&map);
  Params params;
  params.fileName = args.string("name");
  if (args.has("bytes")) {
    if (auto raw = args.bytes("bytes")) {
      params.bytes.emplace(raw->begin(), raw->end());
    } else {
      params.bytesOfAnotherType = true;
    }
  }
  params.sourcePath = args.string("sourcePath");
  params.fileExtension = args.string("fileExtension");
  params.includeExtension = args.boolean("includeExtension").value_or(true);
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
