#include "plugins/playlist_audio/concatenating_audio_source.h"

#include <algorithm>

#include "platform/foundation/ns_log.h"
#include "plugins/playlist_audio/audio_arguments.h"
#include "plugins/playlist_audio/audio_player_exception.h"

namespace playlist_audio {

ConcatenatingAudioSource::ConcatenatingAudioSource(
    std::string sourceId, std::vector<std::shared_ptr<AudioSource>> children,
    std::vector<int> shuffleOrder, bool lazyLoading)
    : AudioSource(std::move(sourceId)),
      children_(std::move(children)),
      shuffle_order_(std::move(shuffleOrder)) {
  setLazyLoading(lazyLoading);
}

bool ConcatenatingAudioSource::lazyLoading() const {
  return !children_.empty() && children_.front()->lazyLoading();
}

void ConcatenatingAudioSource::setLazyLoading(bool lazyLoading) {
  for (const auto& child : children_) child->setLazyLoading(lazyLoading);
}

void ConcatenatingAudioSource::insertSource(std::shared_ptr<AudioSource> source, int index) {
  if (index < 0 || index > count()) throw AudioPlayerException("insertion outside the children");
  children_.insert(children_.begin() + index, std::move(source));
}

void ConcatenatingAudioSource::removeSourcesFromIndex(int from, int to) {
  if (to == -1) to = count();
  if (from < 0 || from > count() || to < 0 || to > count()) {
    throw AudioPlayerException("range outside the children");
  }
  if (to - from <= 0) return;
  children_.erase(children_.begin() + from, children_.begin() + to);
}

void ConcatenatingAudioSource::moveSourceFromIndex(int from, int to) {
  if (from < 0 || from >= count() || to < 0 || to >= count()) {
    throw AudioPlayerException("move outside the children");
  }
  auto moved = children_[from];
  children_.erase(children_.begin() + from);
  children_.insert(children_.begin() + to, std::move(moved));
}

int ConcatenatingAudioSource::buildSequence(Sequence& sequence, int treeIndex) {
  for (const auto& child : children_) treeIndex = child->buildSequence(sequence, treeIndex);
  return treeIndex;
}

SourceTreeSize ConcatenatingAudioSource::size() const {
  SourceTreeSize total{0, 1, 1};
  for (const auto& child : children_) {
    auto part = child->size();
    total = {total.leaves + part.leaves, total.sources + part.sources,
             std::max(total.depth, 1 + part.depth)};
  }
  return total;
}

void ConcatenatingAudioSource::findById(const std::string& sourceId,
                                        std::vector<std::shared_ptr<AudioSource>>& matches) {
  AudioSource::findById(sourceId, matches);
  for (const auto& child : children_) child->findById(sourceId, matches);
}

std::vector<int> ConcatenatingAudioSource::getShuffleIndices() const {
  std::vector<std::vector<int>> shifted;
  int offset = 0;
  for (const auto& child : children_) {
    auto indices = child->getShuffleIndices();
    for (int& index : indices) index += offset;
    offset += static_cast<int>(indices.size());
    shifted.push_back(std::move(indices));
  }
  std::vector<int> result;
  for (int entry : shuffle_order_) {
    // An order that names no child contributes nothing for that entry; the player then finds
    // the result is no permutation and plays unshuffled.
    if (entry < 0 || entry >= count()) continue;
    result.insert(result.end(), shifted[entry].begin(), shifted[entry].end());
  }
  return result;
}

void ConcatenatingAudioSource::checkShuffleOrder(const flutter::Value& message) const {
  auto order = readShuffleOrder(message.find("shuffleOrder"));
  if (!isPermutation(order, count())) throw AudioPlayerException("shuffle order");
  const auto* children = message.find("children");
  const auto* list = children != nullptr ? children->asList() : nullptr;
  if (list == nullptr || list->size() != children_.size()) return;
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->checkShuffleOrder((*list)[i]);
}

void ConcatenatingAudioSource::decodeShuffleOrder(const flutter::Value& message) {
  shuffle_order_ = readShuffleOrder(message.find("shuffleOrder"));
  const auto* children = message.find("children");
  const auto* list = children != nullptr ? children->asList() : nullptr;
  if (list == nullptr || list->size() != children_.size()) {
    NSLog("decodeShuffleOrder Concatenating children don't match");
    return;
  }
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->decodeShuffleOrder((*list)[i]);
}

}  // namespace playlist_audio
