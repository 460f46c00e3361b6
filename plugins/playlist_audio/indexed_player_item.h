// A player item that knows the leaf it plays for, so that the player's observers can find the
// leaf from the item the platform reports. The link is weak: it never keeps the leaf alive.
#pragma once

#include <memory>

#include "platform/avfoundation/av_player_item.h"

namespace playlist_audio {

class IndexedAudioSource;

class IndexedPlayerItem : public AVPlayerItem {
 public:
  using AVPlayerItem::AVPlayerItem;

  std::shared_ptr<IndexedAudioSource> audioSource() const { return audio_source_.lock(); }
  void setAudioSource(std::weak_ptr<IndexedAudioSource> source) {
    audio_source_ = std::move(source);
  }

 private:
  std::weak_ptr<IndexedAudioSource> audio_source_;
};

}  // namespace playlist_audio
