#include "plugins/now_playing/now_playing_fields.h"

namespace now_playing {

bool NowPlayingFields::update(const std::string& key, std::optional<MPNowPlayingInfoValue> value) {
  if (!value) {
    info_.erase(key);
    return true;
  }
  auto stored = info_.find(key);
  if (stored != info_.end() && stored->second == *value) return false;
  info_.insert_or_assign(key, std::move(*value));
  return true;
}

}  // namespace now_playing
