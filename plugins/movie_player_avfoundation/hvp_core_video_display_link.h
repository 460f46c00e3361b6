// A display link over CoreVideo: the link ticks on its own thread and merges each tick into a
// main-queue source, which coalesces ticks still pending into one callback.
#pragma once

#include <functional>
#include <memory>

#include "platform/avfoundation/cv_display_link.h"
#include "platform/dispatch/dispatch_source.h"
#include "plugins/movie_player_avfoundation/hvp_av_factory.h"
#include "plugins/movie_player_avfoundation/hvp_display_link.h"

namespace movie_player_avfoundation {

class HVPCoreVideoDisplayLink final : public HVPDisplayLink {
 public:
  HVPCoreVideoDisplayLink(const std::shared_ptr<HVPViewProvider>& viewProvider,
                          std::function<void()> callback);
  // Stops the link (waiting for a tick in progress) and cancels the source.
  ~HVPCoreVideoDisplayLink() override;

  bool running() const override;
  // Starting binds the link to the screen showing the view, when there is one.
  void setRunning(bool running) override;
  double duration() const override;

 private:
  CVDisplayLinkRef display_link_;
  dispatch_source_t display_link_source_;
  std::weak_ptr<HVPViewProvider> view_provider_;
};

}  // namespace movie_player_avfoundation
