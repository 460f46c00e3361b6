// A node that arranges subtrees of its own: its leaves, size, lazy flag and id matches are those
// of its children, in order. Only how the children's shuffle indices combine differs by kind.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plugins/playlist_audio/audio_source.h"

namespace playlist_audio {

class CompositeAudioSource : public AudioSource {
 public:
  bool lazyLoading() const override;
  void setLazyLoading(bool lazyLoading) override;
  int buildSequence(Sequence& sequence, int treeIndex) override;
  SourceTreeSize size() const override;
  void findById(const std::string& sourceId,
                std::vector<std::shared_ptr<AudioSource>>& matches) override;

 protected:
  CompositeAudioSource(std::string sourceId, std::vector<std::shared_ptr<AudioSource>> children);

  // Each child's shuffle indices, shifted to count from this node's first leaf.
  std::vector<std::vector<int>> shiftedShuffleIndices() const;

  std::vector<std::shared_ptr<AudioSource>> children_;
};

}  // namespace playlist_audio
