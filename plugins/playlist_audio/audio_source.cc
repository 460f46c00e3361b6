#include "plugins/playlist_audio/audio_source.h"

namespace playlist_audio {

void AudioSource::findById(const std::string& sourceId,
                           std::vector<std::shared_ptr<AudioSource>>& matches) {
  if (source_id_ == sourceId) matches.push_back(shared_from_this());
}

void AudioSource::decodeShuffleOrder(const flutter::Value& message) {
  walkShuffleOrders(message, ShuffleOrderPass::check);
  walkShuffleOrders(message, ShuffleOrderPass::take);
}

}  // namespace playlist_audio
