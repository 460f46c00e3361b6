// A display link over the view's (or else the main screen's) display link, run on the main run
// loop. It starts paused.
#pragma once

#include <functional>
#include <memory>

#include "platform/quartzcore/ca_display_link.h"
#include "plugins/movie_player_avfoundation/hvp_av_factory.h"
#include "plugins/movie_player_avfoundation/hvp_display_link.h"

namespace movie_player_avfoundation {

// The target of the link: runs the callback on every refresh.
class HVPDisplayLinkTarget {
 public:
  explicit HVPDisplayLinkTarget(std::function<void()> callback) : callback_(std::move(callback)) {}
  void onDisplayLink(CADisplayLink& /*link*/) {
    if (callback_) callback_();
  }

 private:
  std::function<void()> callback_;
};

class HVPCADisplayLink final : public HVPDisplayLink {
 public:
  HVPCADisplayLink(const std::shared_ptr<HVPViewProvider>& viewProvider,
                   std::function<void()> callback);
  // Invalidates the link.
  ~HVPCADisplayLink() override;

  bool running() const override { return display_link_ && !display_link_->isPaused(); }
  void setRunning(bool running) override {
    if (display_link_) display_link_->setPaused(!running);
  }
  double duration() const override { return display_link_ ? display_link_->duration() : 0.0; }

 private:
  // Null when there is neither a view nor a screen to follow.
  std::shared_ptr<CADisplayLink> display_link_;
  std::shared_ptr<HVPDisplayLinkTarget> target_;
};

}  // namespace movie_player_avfoundation
