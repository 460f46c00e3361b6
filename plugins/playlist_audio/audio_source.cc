#include "plugins/playlist_audio/audio_source.h"

namespace playlist_audio {

void AudioSource::findById(const std::string& sourceId,
                           std::vector<std::shared_ptr<AudioSource>>& matches) {
  if (source_id_ == sourceId) matches.push_back(shared_from_this());
}

}  // namespace playlist_audio
