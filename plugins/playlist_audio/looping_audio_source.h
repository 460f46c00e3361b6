// A fixed number of copies of one subtree (separate objects with the same ids), played in turn;
// shuffling only applies inside each copy.
#pragma once

#include <memory>
#include <vector>

#include "plugins/playlist_audio/composite_audio_source.h"

namespace playlist_audio {

class LoopingAudioSource : public CompositeAudioSource {
 public:
  LoopingAudioSource(std::string sourceId, std::vector<std::shared_ptr<AudioSource>> copies);

  std::vector<int> getShuffleIndices() const override;
  // Every copy takes the message's "child" entry.
  void walkShuffleOrders(const flutter::Value& message, ShuffleOrderPass pass) override;
};

}  // namespace playlist_audio
