#include "platform/mediaplayer/mp_now_playing_info_value.h"

#include <optional>

namespace {

// long double holds every int64 and every double exactly, so the comparison is exact.
std::optional<long double> numberOf(const MPNowPlayingInfoValue::Storage& storage) {
  if (auto* value = std::get_if<bool>(&storage)) return *value ? 1.0L : 0.0L;
  if (auto* value = std::get_if<int64_t>(&storage)) return static_cast<long double>(*value);
  if (auto* value = std::get_if<double>(&storage)) return static_cast<long double>(*value);
  return std::nullopt;
}

}  // namespace

bool operator==(const MPNowPlayingInfoValue& a, const MPNowPlayingInfoValue& b) {
  auto first = numberOf(a.storage_);
  auto second = numberOf(b.storage_);
  if (first || second) return first && second && *first == *second;
  return a.storage_ == b.storage_;
}
