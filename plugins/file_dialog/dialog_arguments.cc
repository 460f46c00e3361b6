#include "plugins/file_dialog/dialog_arguments.h"

namespace file_dialog {
namespace {

std::optional<std::string> stringAt(const flutter::ValueMap& map, const char* key) {
  const flutter::Value* value = map.find(std::string_view(key));
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

std::optional<bool> booleanAt(const flutter::ValueMap& map, const char* key) {
  const flutter::Value* value = map.find(std::string_view(key));
  if (value == nullptr || !value->is<bool>()) return std::nullopt;
  return value->get<bool>();
}

// A list with any element that is not a string counts as absent.
std::vector<std::string> stringsAt(const flutter::ValueMap& map, const char* key) {
  const flutter::Value* value = map.find(std::string_view(key));
  const flutter::ValueList* list = value != nullptr ? value->asList() : nullptr;
  if (list == nullptr) return {};
  std::vector<std::string> strings;
  for (const auto& element : *list) {
    if (element.asString() == nullptr) return {};
    strings.push_back(*element.asString());
  }
  return strings;
}

}  // namespace

DialogArguments DialogArguments::read(const flutter::Value& arguments) {
  static const flutter::ValueMap kEmpty;
  const flutter::ValueMap* map = arguments.asMap();
  if (map == nullptr) map = &kEmpty;

  DialogArguments read;
  read.initialDirectory = stringAt(*map, "initialDirectory");
  if (read.initialDirectory && read.initialDirectory->empty()) read.initialDirectory.reset();
  read.dialogTitle = stringAt(*map, "dialogTitle");
  read.allowMultiple = booleanAt(*map, "allowMultipleSelection")
                           .value_or(booleanAt(*map, "allowMultiple").value_or(false));
  read.allowedExtensions = stringsAt(*map, "allowedExtensions");
  read.fileName = stringAt(*map, "fileName");
  return read;
}

}  // namespace file_dialog
