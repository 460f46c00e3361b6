#include "platform/webrtc/rtc_media_stream.h"

#include <algorithm>

namespace {

template <typename Track>
void addOnce(std::vector<std::shared_ptr<Track>>& tracks, const std::shared_ptr<Track>& track) {
  if (track && std::find(tracks.begin(), tracks.end(), track) == tracks.end()) {
    tracks.push_back(track);
  }
}

}  // namespace

std::vector<std::shared_ptr<RTCAudioTrack>> RTCMediaStream::audioTracks() const {
  std::lock_guard lock(mutex_);
  return audio_tracks_;
}

std::vector<std::shared_ptr<RTCVideoTrack>> RTCMediaStream::videoTracks() const {
  std::lock_guard lock(mutex_);
  return video_tracks_;
}

void RTCMediaStream::addAudioTrack(const std::shared_ptr<RTCAudioTrack>& track) {
  std::lock_guard lock(mutex_);
  addOnce(audio_tracks_, track);
}

void RTCMediaStream::addVideoTrack(const std::shared_ptr<RTCVideoTrack>& track) {
  std::lock_guard lock(mutex_);
  addOnce(video_tracks_, track);
}

void RTCMediaStream::removeAudioTrack(const std::shared_ptr<RTCAudioTrack>& track) {
  std::lock_guard lock(mutex_);
  std::erase(audio_tracks_, track);
}

void RTCMediaStream::removeVideoTrack(const std::shared_ptr<RTCVideoTrack>& track) {
  std::lock_guard lock(mutex_);
  std::erase(video_tracks_, track);
}
