// The native view of a platform-view player: a layer-backed view whose layer shows the player.
#pragma once

#include <memory>

#include "platform/appkit/ns_view.h"
#include "platform/avfoundation/av_player_layer.h"

namespace movie_player_avfoundation {

class HVPNativeVideoView final : public NSView {
 public:
  explicit HVPNativeVideoView(std::shared_ptr<AVPlayer> player) {
    setWantsLayer(true);
    if (auto playerLayer = std::dynamic_pointer_cast<AVPlayerLayer>(layer())) {
      playerLayer->setPlayer(std::move(player));
    }
  }

  std::shared_ptr<CALayer> makeBackingLayer() override { return std::make_shared<AVPlayerLayer>(); }
};

}  // namespace movie_player_avfoundation
