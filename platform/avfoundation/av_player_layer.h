// A layer that shows a player's video.
#pragma once

#include <memory>

#include "platform/avfoundation/av_player.h"
#include "platform/quartzcore/ca_layer.h"

class AVPlayerLayer : public CALayer {
 public:
  static std::shared_ptr<AVPlayerLayer> playerLayerWithPlayer(std::shared_ptr<AVPlayer> player) {
    auto layer = std::make_shared<AVPlayerLayer>();
    layer->setPlayer(std::move(player));
    return layer;
  }

  const std::shared_ptr<AVPlayer>& player() const { return player_; }
  void setPlayer(std::shared_ptr<AVPlayer> player) { player_ = std::move(player); }

 private:
  std::shared_ptr<AVPlayer> player_;
};
