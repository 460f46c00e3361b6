#include "plugins/webrtc_host/event_bytes.h"

#include <vector>

namespace webrtc_host {
namespace {

size_t payloadBytes(const std::string& text) { return text.size(); }

// Typed data; a list of values is the overload below.
template <typename Number>
size_t payloadBytes(const std::vector<Number>& numbers) {
  return numbers.size() * sizeof(Number);
}

size_t payloadBytes(const flutter::ValueList& list) {
  size_t bytes = 0;
  for (const auto& element : list) bytes += eventBytes(element);
  return bytes;
}

size_t payloadBytes(const flutter::ValueMap& map) {
  size_t bytes = 0;
  for (const auto& [key, value] : map) bytes += eventBytes(key) + eventBytes(value);
  return bytes;
}

// Numbers, booleans, null and a codec's own values live in the value itself.
template <typename Other>
size_t payloadBytes(const Other& /*inline*/) {
  return 0;
}

}  // namespace

size_t eventBytes(const flutter::Value& event) {
  return sizeof(flutter::Value) +
         std::visit([](const auto& stored) { return payloadBytes(stored); }, event.storage());
}

}  // namespace webrtc_host
