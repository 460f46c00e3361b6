#include "tools/channel_fuzzer/live_values.h"

#include <algorithm>

namespace channel_fuzzer {
namespace {

void pushFront(std::deque<IdValue>& values, const IdValue& value, size_t limit) {
  auto same = std::find(values.begin(), values.end(), value);
  if (same != values.end()) values.erase(same);
  values.push_front(value);
  if (values.size() > limit) values.pop_back();
}

// An index that favours the front: the newest objects are the ones alive.
size_t recentIndex(size_t size, std::mt19937_64& random) {
  size_t index = 0;
  while (index + 1 < size && std::uniform_int_distribution<int>(0, 2)(random) == 0) ++index;
  return index;
}

}  // namespace

void LiveValues::remember(const std::string& key, const IdValue& value) {
  pushFront(by_key_[key], value, kPerKey);
  pushFront(recent_, value, kRecent);
}

void LiveValues::rememberAll(const std::vector<KeyedValue>& values) {
  for (const auto& keyed : values) remember(keyed.key, keyed.value);
}

std::optional<IdValue> LiveValues::pick(const std::string& key, std::mt19937_64& random,
                                        bool textOnly) const {
  auto usable = [&](const std::deque<IdValue>& values) {
    std::deque<IdValue> kept;
    for (const auto& value : values) {
      if (!textOnly || std::holds_alternative<std::string>(value)) kept.push_back(value);
    }
    return kept;
  };
  auto found = by_key_.find(key);
  std::deque<IdValue> values =
      found != by_key_.end() ? usable(found->second) : std::deque<IdValue>{};
  if (values.empty() || std::uniform_int_distribution<int>(0, 9)(random) == 0) {
    values = usable(recent_);
  }
  if (values.empty()) return std::nullopt;
  return values[recentIndex(values.size(), random)];
}

std::optional<IdValue> LiveValues::pickOfAnyKey(std::mt19937_64& random, bool integersOnly,
                                                const std::string& keyPrefix) const {
  std::vector<const IdValue*> newest;
  for (const auto& [key, values] : by_key_) {
    if (key.rfind(keyPrefix, 0) != 0) continue;
    for (const auto& value : values) {
      if (!integersOnly || std::holds_alternative<Integer>(value)) {
        newest.push_back(&value);
        break;
      }
    }
  }
  if (newest.empty()) return std::nullopt;
  return *newest[std::uniform_int_distribution<size_t>(0, newest.size() - 1)(random)];
}

std::optional<IdValue> LiveValues::pickExact(const std::string& key,
                                             std::mt19937_64& random) const {
  auto found = by_key_.find(key);
  if (found == by_key_.end() || found->second.empty()) return std::nullopt;
  return found->second[recentIndex(found->second.size(), random)];
}

std::vector<IdValue> LiveValues::all() const {
  std::vector<IdValue> values;
  for (const auto& [key, kept] : by_key_) {
    for (const auto& value : kept) {
      if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
    }
  }
  return values;
}

void LiveValues::forget(int64_t identifier) {
  auto names = [identifier](const IdValue& value) {
    if (const auto* integer = std::get_if<Integer>(&value)) return integer->value == identifier;
    if (const auto* reference = std::get_if<Reference>(&value)) {
      return reference->identifier == identifier;
    }
    return false;
  };
  for (auto it = by_key_.begin(); it != by_key_.end();) {
    auto& values = it->second;
    values.erase(std::remove_if(values.begin(), values.end(), names), values.end());
    it = values.empty() ? by_key_.erase(it) : std::next(it);
  }
  recent_.erase(std::remove_if(recent_.begin(), recent_.end(), names), recent_.end());
}

}  // namespace channel_fuzzer
