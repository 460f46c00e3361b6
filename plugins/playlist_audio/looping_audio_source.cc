#include "plugins/playlist_audio/looping_audio_source.h"

namespace playlist_audio {

LoopingAudioSource::LoopingAudioSource(std::string sourceId,
                                       std::vector<std::shared_ptr<AudioSource>> copies)
    : CompositeAudioSource(std::move(sourceId), std::move(copies)) {}

std::vector<int> LoopingAudioSource::getShuffleIndices() const {
  std::vector<int> result;
  for (const auto& indices : shiftedShuffleIndices()) {
    result.insert(result.end(), indices.begin(), indices.end());
  }
  return result;
}

void LoopingAudioSource::walkShuffleOrders(const flutter::Value& message, ShuffleOrderPass pass) {
  const flutter::Value none;
  const auto* child = message.find("child");
  for (const auto& copy : children_)
    copy->walkShuffleOrders(child != nullptr ? *child : none, pass);
}

}  // namespace playlist_audio
