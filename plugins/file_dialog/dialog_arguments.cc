#include "plugins/file_dialog/dialog_arguments.h"

#include "platform/flutter/argument_reader.h"

namespace file_dialog {

DialogArguments DialogArguments::read(const flutter::Value& arguments) {
  const flutter::ArgumentReader args(arguments);
  DialogArguments read;
  read.initialDirectory = args.string("initialDirectory");
  if (read.initialDirectory && read.initialDirectory->empty()) read.initialDirectory.reset();
  read.dialogTitle = args.string("dialogTitle");
  read.allowMultiple = args.boolean("allowMultipleSelection")
                           .value_or(args.boolean("allowMultiple").value_or(false));
  // A list with any element that is not a string counts as absent.
  read.allowedExtensions = args.strings("allowedExtensions").value_or(std::vector<std::string>());
  read.fileName = args.string("fileName");
  return read;
}

}  // namespace file_dialog
