#include "plugins/webrtc_host/local_media_registry.h"

#include <algorithm>
#include <utility>

#include "plugins/webrtc_host/local_audio_track.h"

namespace webrtc_host {

bool LocalMediaRegistry::hasAudioTrack() const {
  return std::any_of(tracks_.begin(), tracks_.end(), [](const auto& entry) {
    return dynamic_cast<const LocalAudioTrack*>(entry.second.get()) != nullptr;
  });
}

void LocalMediaRegistry::removeTrack(const std::string& id) {
  tracks_.remove(id);
  settings_.erase(id);
  pipelines_.erase(id);
}

const flutter::ValueMap* LocalMediaRegistry::settings(const std::string& trackId) const {
  auto found = settings_.find(trackId);
  return found == settings_.end() ? nullptr : &found->second;
}

LocalMediaRegistry::CapturerStopHandler LocalMediaRegistry::stopHandler(
    const std::string& trackId) const {
  auto found = captures_.find(trackId);
  return found == captures_.end() ? nullptr : found->second.stop;
}

std::optional<LocalMediaRegistry::Capture> LocalMediaRegistry::takeCapture(
    const std::string& trackId) {
  auto found = captures_.find(trackId);
  if (found == captures_.end()) return std::nullopt;
  Capture capture = std::move(found->second);
  captures_.erase(found);
  return capture;
}

void LocalMediaRegistry::stopAllCaptures() {
  // Stop handlers may still name streams and tracks, which stay until they have run.
  for (auto& [track_id, capture] : std::exchange(captures_, {})) {
    if (capture.stop) capture.stop(nullptr);
  }
  pipelines_.clear();
}

void LocalMediaRegistry::releaseTracksAndStreams() {
  tracks_.takeAll();
  settings_.clear();
  streams_.takeAll();
}

}  // namespace webrtc_host
