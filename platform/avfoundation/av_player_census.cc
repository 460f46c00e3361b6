#include "platform/avfoundation/av_player_census.h"

#include <algorithm>

#include "platform/avfoundation/av_queue_player.h"

AVPlayerCensus& AVPlayerCensus::shared() {
  static auto* const census = new AVPlayerCensus();
  return *census;
}

void AVPlayerCensus::add(AVQueuePlayer* player) {
  std::lock_guard lock(mutex_);
  players_.push_back(player);
}

void AVPlayerCensus::remove(AVQueuePlayer* player) {
  std::lock_guard lock(mutex_);
  std::erase(players_, player);
}

std::vector<std::shared_ptr<AVQueuePlayer>> AVPlayerCensus::players() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<AVQueuePlayer>> live;
  for (AVQueuePlayer* player : players_) {
    auto held = std::static_pointer_cast<AVQueuePlayer>(player->weak_from_this().lock());
    if (held) live.push_back(std::move(held));
  }
  return live;
}
