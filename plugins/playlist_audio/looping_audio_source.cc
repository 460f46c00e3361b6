#include "plugins/playlist_audio/looping_audio_source.h"

#include <algorithm>

namespace playlist_audio {

LoopingAudioSource::LoopingAudioSource(std::string sourceId,
                                       std::vector<std::shared_ptr<AudioSource>> copies)
    : AudioSource(std::move(sourceId)), copies_(std::move(copies)) {}

bool LoopingAudioSource::lazyLoading() const {
  return !copies_.empty() && copies_.front()->lazyLoading();
}

void LoopingAudioSource::setLazyLoading(bool lazyLoading) {
  for (const auto& copy : copies_) copy->setLazyLoading(lazyLoading);
}

int LoopingAudioSource::buildSequence(Sequence& sequence, int treeIndex) {
  for (const auto& copy : copies_) treeIndex = copy->buildSequence(sequence, treeIndex);
  return treeIndex;
}

SourceTreeSize LoopingAudioSource::size() const {
  SourceTreeSize total{0, 1, 1};
  for (const auto& copy : copies_) {
    auto part = copy->size();
    total = {total.leaves + part.leaves, total.sources + part.sources,
             std::max(total.depth, 1 + part.depth)};
  }
  return total;
}

void LoopingAudioSource::findById(const std::string& sourceId,
                                  std::vector<std::shared_ptr<AudioSource>>& matches) {
  AudioSource::findById(sourceId, matches);
  for (const auto& copy : copies_) copy->findById(sourceId, matches);
}

std::vector<int> LoopingAudioSource::getShuffleIndices() const {
  std::vector<int> result;
  int offset = 0;
  for (const auto& copy : copies_) {
    auto indices = copy->getShuffleIndices();
    for (int index : indices) result.push_back(index + offset);
    offset += static_cast<int>(indices.size());
  }
  return result;
}

void LoopingAudioSource::checkShuffleOrder(const flutter::Value& message) const {
  const auto* child = message.find("child");
  for (const auto& copy : copies_)
    copy->checkShuffleOrder(child != nullptr ? *child : flutter::Value());
}

void LoopingAudioSource::decodeShuffleOrder(const flutter::Value& message) {
  const auto* child = message.find("child");
  for (const auto& copy : copies_)
    copy->decodeShuffleOrder(child != nullptr ? *child : flutter::Value());
}

}  // namespace playlist_audio
