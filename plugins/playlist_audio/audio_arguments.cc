#include "plugins/playlist_audio/audio_arguments.h"

#include <cmath>
#include <limits>

#include "plugins/playlist_audio/audio_player_exception.h"

namespace playlist_audio {
namespace {

const flutter::ValueList kEmptyList;

[[noreturn]] void raise(std::string_view key, std::string_view expected) {
  throw AudioPlayerException(flutter::quotedKeyMustBe(key, expected));
}

int toInt(int64_t value) {
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    throw AudioPlayerException("index out of range");
  }
  return static_cast<int>(value);
}

// Booleans count as numbers, as the platform's number objects hold both.
const flutter::Value* numberEntry(const AudioArguments& arguments, std::string_view key,
                                  std::string_view expected) {
  const flutter::Value* value = arguments.entry(key);
  if (value != nullptr && !value->isNumber()) raise(key, expected);
  return value;
}

}  // namespace

AudioArguments::AudioArguments(const flutter::Value& arguments)
    : read_(arguments, flutter::NullEntry::kValue) {
  if (!arguments.isNull() && !read_.isMap()) throw AudioPlayerException("arguments must be a map");
}

int64_t AudioArguments::integer(std::string_view key) const {
  if (!read_.has(key)) return 0;
  if (auto flag = read_.boolean(key)) return *flag ? 1 : 0;
  if (auto value = read_.integer(key)) return *value;
  raise(key, "an integer");
}

std::optional<int64_t> AudioArguments::integerOrNull(std::string_view key) const {
  const auto* value = entry(key);
  if (value != nullptr && value->isNull()) return std::nullopt;
  return integer(key);
}

int32_t AudioArguments::int32(std::string_view key) const {
  int64_t value = integer(key);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    raise(key, "a 32-bit integer");
  }
  return static_cast<int32_t>(value);
}

bool AudioArguments::boolean(std::string_view key) const {
  const auto* value = numberEntry(*this, key, "a boolean");
  return value != nullptr && value->boolValue();
}

double AudioArguments::number(std::string_view key) const {
  const auto* value = numberEntry(*this, key, "a number");
  return value != nullptr ? value->doubleValue() : 0;
}

double AudioArguments::finiteNumber(std::string_view key) const {
  if (!read_.has(key)) return 0;
  if (auto flag = read_.boolean(key)) return *flag ? 1 : 0;
  auto value = read_.number(key);
  if (!value) raise(key, "a number");
  if (!std::isfinite(*value)) raise(key, "a finite number");
  return *value;
}

std::string AudioArguments::string(std::string_view key) const {
  if (!read_.has(key)) return {};
  return requiredString(key);
}

std::string AudioArguments::requiredString(std::string_view key) const {
  if (auto text = read_.string(key)) return *text;
  raise(key, "a string");
}

const flutter::ValueList& AudioArguments::list(std::string_view key) const {
  if (!read_.has(key)) return kEmptyList;
  if (const auto* items = read_.list(key)) return *items;
  raise(key, "a list");
}

void checkLoadConfiguration(const flutter::Value* configuration) {
  if (configuration == nullptr || configuration->isNull()) return;
  if (configuration->asMap() == nullptr) raise("audioLoadConfiguration", "a map");
  const auto* darwin = configuration->find("darwinLoadControl");
  if (darwin == nullptr || darwin->isNull()) return;
  AudioArguments entries(*darwin);
  for (std::string_view key : {"preferredForwardBufferDuration", "preferredPeakBitRate"}) {
    const auto* value = entries.entry(key);
    if (value != nullptr && !value->isNull() && !value->isNumber()) raise(key, "a number");
  }
  entries.boolean("canUseNetworkResourcesForLiveStreamingWhilePaused");
  entries.boolean("automaticallyWaitsToMinimizeStalling");
}

std::vector<int> readShuffleOrder(const flutter::Value* value) {
  if (value == nullptr) throw AudioPlayerException("missing shuffle order");
  std::vector<int> order;
  if (const auto* items = value->asList()) {
    for (const auto& item : *items) {
      auto integer = item.asInteger();
      if (!integer) throw AudioPlayerException("shuffle order must hold integers");
      order.push_back(toInt(*integer));
    }
  } else if (const auto* int32s = value->getIf<std::vector<int32_t>>()) {
    order.assign(int32s->begin(), int32s->end());
  } else if (const auto* int64s = value->getIf<std::vector<int64_t>>()) {
    for (int64_t integer : *int64s) order.push_back(toInt(integer));
  } else {
    throw AudioPlayerException("shuffle order must be a list");
  }
  return order;
}

bool isPermutation(const std::vector<int>& order, int count) {
  if (static_cast<int>(order.size()) != count) return false;
  std::vector<bool> seen(order.size(), false);
  for (int index : order) {
    if (index < 0 || index >= count || seen[index]) return false;
    seen[index] = true;
  }
  return true;
}

}  // namespace playlist_audio
