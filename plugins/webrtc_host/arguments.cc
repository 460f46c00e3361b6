#include "plugins/webrtc_host/arguments.h"

namespace webrtc_host {

Arguments::Arguments(const flutter::Value& arguments) : map_(arguments.asMap()) {}

const flutter::Value* Arguments::value(std::string_view key) const {
  if (map_ == nullptr) return nullptr;
  const flutter::Value* found = map_->find(key);
  return found == nullptr || found->isNull() ? nullptr : found;
}

std::string Arguments::string(std::string_view key) const {
  return optionalString(key).value_or("");
}

std::optional<std::string> Arguments::optionalString(std::string_view key) const {
  const flutter::Value* found = value(key);
  if (found == nullptr || found->asString() == nullptr) return std::nullopt;
  return *found->asString();
}

const flutter::ValueMap* Arguments::map(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found == nullptr ? nullptr : found->asMap();
}

const flutter::ValueList* Arguments::list(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found == nullptr ? nullptr : found->asList();
}

std::vector<std::string> Arguments::stringList(std::string_view key) const {
  return stringsOf(value(key));
}

bool Arguments::boolValue(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found != nullptr && found->boolValue();
}

int32_t Arguments::intValue(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found == nullptr ? 0 : static_cast<int32_t>(found->intValue());
}

double Arguments::doubleValue(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found == nullptr ? 0.0 : found->doubleValue();
}

bool Arguments::isNumber(std::string_view key) const {
  const flutter::Value* found = value(key);
  return found != nullptr && found->isNumber();
}

FlutterError failedError(const std::string& method, const std::string& message) {
  return FlutterError{method + "Failed", message, nullptr};
}

FlutterError codeOnly(const std::string& code) { return FlutterError{code, std::nullopt, nullptr}; }

std::string textOrNull(const std::optional<std::string>& text) { return text.value_or("(null)"); }

std::vector<std::string> stringsOf(const flutter::Value* list) {
  std::vector<std::string> strings;
  if (list == nullptr || list->asList() == nullptr) return strings;
  for (const auto& element : *list->asList()) {
    if (const auto* text = element.asString()) strings.push_back(*text);
  }
  return strings;
}

}  // namespace webrtc_host
