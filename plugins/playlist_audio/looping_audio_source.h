// A fixed number of copies of one subtree (separate objects with the same ids), played in turn;
// shuffling only applies inside each copy.
#pragma once

#include <memory>
#include <vector>

#include "plugins/playlist_audio/audio_source.h"

namespace playlist_audio {

class LoopingAudioSource : public AudioSource {
 public:
  LoopingAudioSource(std::string sourceId, std::vector<std::shared_ptr<AudioSource>> copies);

  bool lazyLoading() const override;
  void setLazyLoading(bool lazyLoading) override;
  int buildSequence(Sequence& sequence, int treeIndex) override;
  SourceTreeSize size() const override;
  void findById(const std::string& sourceId,
                std::vector<std::shared_ptr<AudioSource>>& matches) override;
  std::vector<int> getShuffleIndices() const override;
  void checkShuffleOrder(const flutter::Value& message) const override;
  void decodeShuffleOrder(const flutter::Value& message) override;

 private:
  std::vector<std::shared_ptr<AudioSource>> copies_;
};

}  // namespace playlist_audio
