#include "plugins/webrtc_host/checked_arguments.h"

#include <cstring>
#include <limits>

namespace webrtc_host {
namespace {

template <typename Element>
std::vector<uint8_t> rawBytes(const std::vector<Element>& elements) {
  std::vector<uint8_t> bytes(elements.size() * sizeof(Element));
  if (!bytes.empty()) std::memcpy(bytes.data(), elements.data(), bytes.size());
  return bytes;
}

}  // namespace

std::optional<std::vector<uint8_t>> typedDataBytes(const flutter::Value& value) {
  if (const auto* bytes = value.getIf<std::vector<uint8_t>>()) return *bytes;
  if (const auto* ints = value.getIf<std::vector<int32_t>>()) return rawBytes(*ints);
  if (const auto* longs = value.getIf<std::vector<int64_t>>()) return rawBytes(*longs);
  if (const auto* floats = value.getIf<std::vector<float>>()) return rawBytes(*floats);
  if (const auto* doubles = value.getIf<std::vector<double>>()) return rawBytes(*doubles);
  return std::nullopt;
}

CheckedArguments::CheckedArguments(const flutter::Value& arguments, std::string errorCode)
    : arguments_(arguments), error_code_(std::move(errorCode)) {}

FlutterError CheckedArguments::error(std::string message) const {
  return FlutterError{error_code_, std::move(message), nullptr};
}

FlutterError CheckedArguments::invalid(std::string_view key) const {
  return error("Invalid " + std::string(key));
}

Checked<std::string> CheckedArguments::string(std::string_view key) const {
  if (auto text = arguments_.optionalString(key)) return *text;
  return invalid(key);
}

Checked<int32_t> CheckedArguments::int32(std::string_view key) const {
  const flutter::Value* found = arguments_.value(key);
  auto number = found == nullptr ? std::nullopt : found->asInteger();
  if (!number || *number < std::numeric_limits<int32_t>::min() ||
      *number > std::numeric_limits<int32_t>::max()) {
    return invalid(key);
  }
  return static_cast<int32_t>(*number);
}

Checked<uint32_t> CheckedArguments::uint32(std::string_view key) const {
  const flutter::Value* found = arguments_.value(key);
  auto number = found == nullptr ? std::nullopt : found->asInteger();
  if (!number || *number < 0 || *number > std::numeric_limits<uint32_t>::max()) {
    return invalid(key);
  }
  return static_cast<uint32_t>(*number);
}

Checked<bool> CheckedArguments::boolean(std::string_view key) const {
  const flutter::Value* found = arguments_.value(key);
  if (found == nullptr || !(found->is<bool>() || found->isInteger())) return invalid(key);
  return found->boolValue();
}

Checked<std::vector<uint8_t>> CheckedArguments::bytes(std::string_view key) const {
  const flutter::Value* found = arguments_.value(key);
  auto bytes = found == nullptr ? std::nullopt : typedDataBytes(*found);
  if (!bytes) return invalid(key);
  return std::move(*bytes);
}

Checked<const flutter::ValueMap*> CheckedArguments::map(std::string_view key) const {
  if (const flutter::ValueMap* found = arguments_.map(key)) return found;
  return invalid(key);
}

}  // namespace webrtc_host
