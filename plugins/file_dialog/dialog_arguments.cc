#include "plugins/file_dialog/dialog_arguments.h"

#include "platform/flutter/argument_reader.h"

namespace file_dialog {

DialogArguments DialogArguments::read(const flutter::Value& arguments) {
  const flutter::ValueMap& map = flutter::mapOrEmpty(arguments);
  DialogArguments read;
  read.initialDirectory = flutter::stringAt(map, "initialDirectory");
  if (read.initialDirectory && read.initialDirectory->empty()) read.initialDirectory.reset();
  read.dialogTitle = flutter::stringAt(map, "dialogTitle");
  read.allowMultiple = flutter::booleanAt(map, "allowMultipleSelection")
                           .value_or(flutter::booleanAt(map, "allowMultiple").value_or(false));
  // A list with any element that is not a string counts as absent.
  read.allowedExtensions = flutter::stringsAt(map, "allowedExtensions").value_or(std::vector<std::string>());
  read.fileName = flutter::stringAt(map, "fileName");
  return read;
}

}  // namespace file_dialog
