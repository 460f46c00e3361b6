#include "platform/mediaplayer/mp_now_playing_info_center.h"

std::shared_ptr<MPNowPlayingInfoCenter> MPNowPlayingInfoCenter::defaultCenter() {
  // Never destroyed: the centre is the process's, for as long as it runs.
  static auto* const center =
      new std::shared_ptr<MPNowPlayingInfoCenter>(new MPNowPlayingInfoCenter());
  return *center;
}

std::optional<MPNowPlayingInfo> MPNowPlayingInfoCenter::nowPlayingInfo() const {
  std::lock_guard lock(mutex_);
  return info_;
}

void MPNowPlayingInfoCenter::setNowPlayingInfo(std::optional<MPNowPlayingInfo> info) {
  std::lock_guard lock(mutex_);
  if (publications_.size() == kKeptPublications) publications_.pop_front();
  publications_.push_back(info);
  info_ = std::move(info);
}

MPNowPlayingPlaybackState MPNowPlayingInfoCenter::playbackState() const {
  std::lock_guard lock(mutex_);
  return playback_state_;
}

void MPNowPlayingInfoCenter::setPlaybackState(MPNowPlayingPlaybackState state) {
  std::lock_guard lock(mutex_);
  playback_state_ = state;
}
