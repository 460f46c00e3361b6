// The arguments of a "saveAs" call. Entries of another type than expected count as absent,
// except "bytes": typed data of any element type gives its raw bytes, and any other value but
// null is a mistake the call is refused for before the panel opens.
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
  bool bytesOfAnotherType = false;

  static Params fromMap(const flutter::ValueMap& map);
  // The name the save panel proposes: the name (or "file") with the extension when asked for.
  std::string proposedFileName() const;
};

}  // namespace file_export
