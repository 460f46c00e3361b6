#include "plugins/movie_player_avfoundation/hvp_ca_display_link.h"

#include "platform/appkit/ns_screen.h"

namespace movie_player_avfoundation {

HVPCADisplayLink::HVPCADisplayLink(const std::shared_ptr<HVPViewProvider>& viewProvider,
                                   std::function<void()> callback)
    : target_(std::make_shared<HVPDisplayLinkTarget>(std::move(callback))) {
  auto action = [target = target_](CADisplayLink& link) { target->onDisplayLink(link); };
  if (auto view = viewProvider ? viewProvider->view() : nullptr) {
    display_link_ = view->displayLinkWithTarget(action);
  } else if (auto screen = NSScreen::mainScreen()) {
    display_link_ = screen->displayLinkWithTarget(action);
  }
  if (!display_link_) return;
  display_link_->addToRunLoopCommonModes();
  display_link_->setPaused(true);
}

HVPCADisplayLink::~HVPCADisplayLink() {
  if (display_link_) display_link_->invalidate();
}

}  // namespace movie_player_avfoundation
