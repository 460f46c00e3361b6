// The now-playing information as the bridge last published it, and whether a new value changes
// it: an equal value is no change; a missing value removes the key and always counts as a change.
#pragma once

#include <optional>
#include <string>

#include "platform/mediaplayer/mp_now_playing_info_value.h"

namespace now_playing {

class NowPlayingFields {
 public:
  // Stores or removes the value under `key`; answers whether that counts as a change.
  bool update(const std::string& key, std::optional<MPNowPlayingInfoValue> value);
  void clear() { info_.clear(); }
  const MPNowPlayingInfo& info() const { return info_; }

 private:
  MPNowPlayingInfo info_;
};

}  // namespace now_playing
