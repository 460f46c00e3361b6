// A node of the tree of sources a player plays: leaves are playable items, composites arrange
// their children. The tree flattens into the sequence of leaves; its shuffle indices give the
// shuffled order of that sequence.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/flutter/value.h"
#include "plugins/playlist_audio/source_tree_size.h"

namespace playlist_audio {

class IndexedAudioSource;

class AudioSource : public std::enable_shared_from_this<AudioSource> {
 public:
  using Sequence = std::vector<std::shared_ptr<IndexedAudioSource>>;

  explicit AudioSource(std::string sourceId) : source_id_(std::move(sourceId)) {}
  virtual ~AudioSource() = default;
  AudioSource(const AudioSource&) = delete;
  AudioSource& operator=(const AudioSource&) = delete;

  virtual bool lazyLoading() const { return false; }
  virtual void setLazyLoading(bool /*lazyLoading*/) {}

  // Appends this subtree's leaves in tree order; answers the index after them.
  virtual int buildSequence(Sequence& sequence, int treeIndex) = 0;
  // The leaves, sources and depth of this subtree.
  virtual SourceTreeSize size() const = 0;
  // Appends every node of this subtree whose id is `sourceId`, in pre-order.
  virtual void findById(const std::string& sourceId,
                        std::vector<std::shared_ptr<AudioSource>>& matches);
  // The shuffled order of this subtree's leaves, relative to its first leaf.
  virtual std::vector<int> getShuffleIndices() const { return {}; }
  // Takes the shuffle orders that `message` holds for this subtree, all or none: raises
  // AudioPlayerException, changing nothing, when one is not a permutation of the children it
  // orders.
  void decodeShuffleOrder(const flutter::Value& message);

  enum class ShuffleOrderPass { check, take };
  // One walk over this subtree's part of a shuffle-order message: the check pass raises where
  // decodeShuffleOrder must, the take pass replaces the orders.
  virtual void walkShuffleOrders(const flutter::Value& /*message*/, ShuffleOrderPass /*pass*/) {}

 private:
  std::string source_id_;
};

}  // namespace playlist_audio
