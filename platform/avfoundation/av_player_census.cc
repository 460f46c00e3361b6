#include "platform/avfoundation/av_player_census.h"

#include "platform/avfoundation/av_census.h"
#include "platform/avfoundation/av_queue_player.h"

AVPlayerCensus& AVPlayerCensus::shared() {
  static auto* const census = new AVPlayerCensus();
  return *census;
}

void AVPlayerCensus::add(AVQueuePlayer* player) { AVCensus<AVQueuePlayer>::shared().add(player); }

void AVPlayerCensus::remove(AVQueuePlayer* player) {
  AVCensus<AVQueuePlayer>::shared().remove(player);
}

std::vector<std::shared_ptr<AVQueuePlayer>> AVPlayerCensus::players() const {
  return AVCensus<AVQueuePlayer>::shared().live();
}
