#include "plugins/playlist_audio/composite_audio_source.h"

#include <algorithm>

namespace playlist_audio {

CompositeAudioSource::CompositeAudioSource(std::string sourceId,
                                           std::vector<std::shared_ptr<AudioSource>> children)
    : AudioSource(std::move(sourceId)), children_(std::move(children)) {}

bool CompositeAudioSource::lazyLoading() const {
  return !children_.empty() && children_.front()->lazyLoading();
}

void CompositeAudioSource::setLazyLoading(bool lazyLoading) {
  for (const auto& child : children_) child->setLazyLoading(lazyLoading);
}

int CompositeAudioSource::buildSequence(Sequence& sequence, int treeIndex) {
  for (const auto& child : children_) treeIndex = child->buildSequence(sequence, treeIndex);
  return treeIndex;
}

SourceTreeSize CompositeAudioSource::size() const {
  SourceTreeSize total{0, 1, 1};
  for (const auto& child : children_) {
    auto part = child->size();
    total = {total.leaves + part.leaves, total.sources + part.sources,
             std::max(total.depth, 1 + part.depth)};
  }
  return total;
}

void CompositeAudioSource::findById(const std::string& sourceId,
                                    std::vector<std::shared_ptr<AudioSource>>& matches) {
  AudioSource::findById(sourceId, matches);
  for (const auto& child : children_) child->findById(sourceId, matches);
}

std::vector<std::vector<int>> CompositeAudioSource::shiftedShuffleIndices() const {
  std::vector<std::vector<int>> shifted;
  int offset = 0;
  for (const auto& child : children_) {
    auto indices = child->getShuffleIndices();
    for (int& index : indices) index += offset;
    offset += static_cast<int>(indices.size());
    shifted.push_back(std::move(indices));
  }
  return shifted;
}

}  // namespace playlist_audio
