#include "plugins/movie_player_avfoundation/hvp_frame_updater.h"

namespace movie_player_avfoundation {

void HVPFrameUpdater::displayLinkFired() {
  if (display_link_) frame_duration_.store(display_link_->duration());
  if (auto registry = registry_.lock()) registry->textureFrameAvailable(textureIdentifier());
}

}  // namespace movie_player_avfoundation
