// The arguments of a "saveAs" call. Entries of another type than expected count as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/value.h"

namespace file_export {

struct Params {
  std::optional<std::string> fileName;
  std::optional<std::vector<uint8_t>> bytes;
  std::optional<std::string> sourcePath;
  std::optional<std::string> fileExtension;
  bool includeExtension = true;

  static Params fromMap(const flutter::ValueMap& map);
  // The name the save panel proposes: the name (or "file") with the extension when asked for.
  std::string proposedFileName() const;
};

}  // namespace file_export
