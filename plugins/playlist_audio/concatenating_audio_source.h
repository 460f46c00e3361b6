// An editable playlist of children with its own shuffle order (entry k is the child played k-th).
// The caller checks edits and orders before they reach it; an index outside the children still
// raises AudioPlayerException here and changes nothing.
#pragma once

#include <memory>
#include <vector>

#include "plugins/playlist_audio/composite_audio_source.h"

namespace playlist_audio {

class ConcatenatingAudioSource : public CompositeAudioSource {
 public:
  ConcatenatingAudioSource(std::string sourceId, std::vector<std::shared_ptr<AudioSource>> children,
                           std::vector<int> shuffleOrder, bool lazyLoading);

  int count() const { return static_cast<int>(children_.size()); }

  // 0 <= index <= count.
  void insertSource(std::shared_ptr<AudioSource> source, int index);
  // Removes [from, to), with to = -1 meaning count; nothing when the range is empty.
  // 0 <= from <= count and 0 <= to <= count.
  void removeSourcesFromIndex(int from, int to);
  // Both indices within the children.
  void moveSourceFromIndex(int from, int to);

  std::vector<int> getShuffleIndices() const override;
  void setShuffleOrder(std::vector<int> shuffleOrder) { shuffle_order_ = std::move(shuffleOrder); }
  void walkShuffleOrders(const flutter::Value& message, ShuffleOrderPass pass) override;

 private:
  std::vector<int> shuffle_order_;
};

}  // namespace playlist_audio
