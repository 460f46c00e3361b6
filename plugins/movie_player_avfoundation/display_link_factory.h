// Makes the display link of a texture player: over the view's display link on macOS 14 and
// later, over CoreVideo before.
#pragma once

#include <functional>
#include <memory>

#include "plugins/movie_player_avfoundation/hvp_av_factory.h"
#include "plugins/movie_player_avfoundation/hvp_display_link.h"

namespace movie_player_avfoundation {

class DisplayLinkFactory {
 public:
  virtual ~DisplayLinkFactory() = default;
  virtual std::shared_ptr<HVPDisplayLink> makeDisplayLink(
      const std::shared_ptr<HVPViewProvider>& viewProvider, std::function<void()> callback) = 0;
};

class DefaultDisplayLinkFactory final : public DisplayLinkFactory {
 public:
  std::shared_ptr<HVPDisplayLink> makeDisplayLink(const std::shared_ptr<HVPViewProvider>& viewProvider,
                                                  std::function<void()> callback) override;
};

}  // namespace movie_player_avfoundation
