// The arguments of a panel call, read leniently: a value of another type than expected counts
// as absent, and arguments that are not a string-keyed map count as an empty map.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/value.h"

namespace file_dialog {

struct DialogArguments {
  // Never empty when present.
  std::optional<std::string> initialDirectory;
  std::optional<std::string> dialogTitle;
  // "allowMultipleSelection" if it is a Boolean, else "allowMultiple", else false.
  bool allowMultiple = false;
  std::vector<std::string> allowedExtensions;
  std::optional<std::string> fileName;

  static DialogArguments read(const flutter::Value& arguments);
};

}  // namespace file_dialog
