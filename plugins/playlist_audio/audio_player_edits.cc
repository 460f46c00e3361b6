// Edits of concatenating sources while a tree is loaded. Every node that the edit's id names is
// edited alike, and only once the edit fits each of them; the queue then follows the current leaf.
#include <algorithm>

#include "plugins/playlist_audio/audio_player.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/audio_source_decoder.h"
#include "plugins/playlist_audio/concatenating_audio_source.h"
#include "plugins/playlist_audio/source_tree_size.h"

namespace playlist_audio {
namespace {

// Every node gets its own copy of the children: the tree grows by that many copies.
void checkTreeAfterInsert(const SourceTreeSize& tree, const flutter::ValueList& children,
                          int64_t copies) {
  SourceTreeSize added;
  for (const auto& child : children) {
    auto part = measureSourceMap(child);
    checkSourceTreeLimits(part);
    added = {added.leaves + part.leaves, added.sources + part.sources,
             std::max(added.depth, part.depth)};
  }
  checkSourceTreeLimits({tree.leaves + copies * std::min(added.leaves, kMaxLeaves + 1),
                         tree.sources + copies * std::min(added.sources, kMaxSources + 1),
                         tree.depth + added.depth});
}

}  // namespace

std::vector<std::shared_ptr<ConcatenatingAudioSource>> AudioPlayer::nodesToEdit(
    const std::string& sourceId, const std::function<bool(int count)>& fits) const {
  std::vector<std::shared_ptr<AudioSource>> matches;
  if (audio_source_) audio_source_->findById(sourceId, matches);
  std::vector<std::shared_ptr<ConcatenatingAudioSource>> nodes;
  for (const auto& match : matches) {
    auto node = std::dynamic_pointer_cast<ConcatenatingAudioSource>(match);
    if (!node) continue;
    if (!fits(node->count())) {
      throw AudioPlayerException("edit outside the children or bad shuffle order");
    }
    nodes.push_back(std::move(node));
  }
  return nodes;
}

void AudioPlayer::rebuildSequence() {
  indexed_audio_sources_.clear();
  if (audio_source_) audio_source_->buildSequence(indexed_audio_sources_, 0);
  updateOrder();
}

int AudioPlayer::currentItemIndex() const {
  const auto& current = player_ ? player_->currentItem() : nullptr;
  return current ? indexForItem(current.get()) : -1;
}

void AudioPlayer::requeueAfterEdit(int index) {
  if (!player_) return;
  // An edit changes what a pending load waits for: the leaf made current here.
  if (load_result_ && index >= 0 && index < static_cast<int>(indexed_audio_sources_.size())) {
    load_item_ = indexed_audio_sources_[index]->playerItem();
  }
  enqueueFrom(index);
  for (const auto& leaf : indexed_audio_sources_) {
    if (!leaf->isAttached()) leaf->attach(*player_, kCMTimeInvalid);
  }
  answerLoadIfSettled();
  broadcastPlaybackEvent();
}

// Indices are judged as sent: one past the int range must not wrap into the children.
void AudioPlayer::concatenatingInsertAll(const std::string& sourceId, int64_t index,
                                         const flutter::ValueList& children,
                                         std::vector<int> shuffleOrder) {
  const auto added = static_cast<int>(children.size());
  auto nodes = nodesToEdit(sourceId, [&](int count) {
    return index <= count && isPermutation(shuffleOrder, count + added);
  });
  if (nodes.empty()) return;
  checkTreeAfterInsert(audio_source_->size(), children, static_cast<int64_t>(nodes.size()));
  AudioSourceDecoder decoder(load_control_);
  std::vector<std::vector<std::shared_ptr<AudioSource>>> decoded;
  for (size_t n = 0; n < nodes.size(); ++n) decoded.push_back(decoder.decodeAudioSources(children));
  for (size_t n = 0; n < nodes.size(); ++n) {
    int point = index < 0 ? nodes[n]->count() : static_cast<int>(index);
    for (size_t i = 0; i < decoded[n].size(); ++i) {
      nodes[n]->insertSource(decoded[n][i], point + static_cast<int>(i));
    }
    nodes[n]->setShuffleOrder(shuffleOrder);
  }
  rebuildSequence();
  for (const auto& leaf : indexed_audio_sources_) {
    if (!leaf->isAttached()) adoptLeafItems(leaf);
  }
  int current = currentItemIndex();
  requeueAfterEdit(current >= 0 ? current : 0);
}

void AudioPlayer::concatenatingRemoveRange(const std::string& sourceId, int64_t start, int64_t end,
                                           std::vector<int> shuffleOrder) {
  auto nodes = nodesToEdit(sourceId, [&](int count) {
    int64_t to = end < 0 ? count : end;
    int64_t removed = std::max<int64_t>(0, to - start);
    return start >= 0 && start <= count && to <= count &&
           isPermutation(shuffleOrder, count - static_cast<int>(removed));
  });
  if (nodes.empty()) return;
  for (const auto& node : nodes) {
    node->removeSourcesFromIndex(static_cast<int>(start),
                                 end < 0 ? node->count() : static_cast<int>(end));
    node->setShuffleOrder(shuffleOrder);
  }
  auto oldLeaves = std::move(indexed_audio_sources_);
  rebuildSequence();
  int indexBefore = index_;
  for (size_t i = 0; i < oldLeaves.size(); ++i) {
    const auto& leaf = oldLeaves[i];
    if (std::find(indexed_audio_sources_.begin(), indexed_audio_sources_.end(), leaf) !=
        indexed_audio_sources_.end()) {
      continue;
    }
    removeLeafObservers(*leaf);
    if (static_cast<int>(i) < indexBefore) --index_;
  }
  int count = static_cast<int>(indexed_audio_sources_.size());
  if (index_ >= count) index_ = std::max(0, count - 1);
  requeueAfterEdit(index_);
}

void AudioPlayer::concatenatingMove(const std::string& sourceId, int64_t from, int64_t to,
                                    std::vector<int> shuffleOrder) {
  auto nodes = nodesToEdit(sourceId, [&](int count) {
    return from >= 0 && from < count && to >= 0 && to < count && isPermutation(shuffleOrder, count);
  });
  if (nodes.empty()) return;
  for (const auto& node : nodes) {
    node->moveSourceFromIndex(static_cast<int>(from), static_cast<int>(to));
    node->setShuffleOrder(shuffleOrder);
  }
  rebuildSequence();
  // Without a current item (after an item error emptied the queue) the current leaf stays, as
  // far as the leaves still reach.
  int current = currentItemIndex();
  int last = std::max(0, static_cast<int>(indexed_audio_sources_.size()) - 1);
  requeueAfterEdit(current >= 0 ? current : std::clamp(index_, 0, last));
}

}  // namespace playlist_audio
