#include "plugins/movie_player_avfoundation/hvp_core_video_display_link.h"

#include <any>

#include "platform/appkit/ns_screen.h"
#include "platform/appkit/ns_window.h"

namespace movie_player_avfoundation {

HVPCoreVideoDisplayLink::HVPCoreVideoDisplayLink(const std::shared_ptr<HVPViewProvider>& viewProvider,
                                                 std::function<void()> callback)
    : view_provider_(viewProvider) {
  display_link_source_ =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_DATA_ADD, 0, 0, dispatch_get_main_queue());
  dispatch_source_set_event_handler(display_link_source_, std::move(callback));
  dispatch_resume(display_link_source_);
  if (CVDisplayLinkCreateWithActiveCGDisplays(&display_link_) != kCVReturnSuccess) {
    display_link_ = nullptr;
    return;
  }
  // The source, not this object: a tick may arrive while this object is being destroyed.
  CVDisplayLinkSetOutputCallback(
      display_link_, [source = display_link_source_](CVDisplayLink&, const CVTimeStamp&,
                                                     const CVTimeStamp&, CVOptionFlags,
                                                     CVOptionFlags*) {
        dispatch_source_merge_data(source, 1);
        return kCVReturnSuccess;
      });
}

HVPCoreVideoDisplayLink::~HVPCoreVideoDisplayLink() {
  if (display_link_) CVDisplayLinkStop(display_link_);
  display_link_.reset();
  dispatch_source_cancel(display_link_source_);
}

bool HVPCoreVideoDisplayLink::running() const { return CVDisplayLinkIsRunning(display_link_); }

void HVPCoreVideoDisplayLink::setRunning(bool running) {
  if (!display_link_ || running == this->running()) return;
  if (!running) {
    CVDisplayLinkStop(display_link_);
    return;
  }
  auto provider = view_provider_.lock();
  auto view = provider ? provider->view() : nullptr;
  auto window = view ? view->window() : nullptr;
  auto screen = window ? window->screen() : nullptr;
  if (screen) {
    auto found = screen->deviceDescription().find(NSScreenNumber);
    if (found != screen->deviceDescription().end()) {
      if (const auto* number = std::any_cast<uint32_t>(&found->second)) {
        CVDisplayLinkSetCurrentCGDisplay(display_link_, *number);
      }
    }
  }
  CVDisplayLinkStart(display_link_);
}

double HVPCoreVideoDisplayLink::duration() const {
  CVTimeStamp timestamp{};
  if (CVDisplayLinkGetCurrentTime(display_link_, &timestamp) != kCVReturnSuccess ||
      timestamp.videoTimeScale == 0) {
    return 0.0;
  }
  return static_cast<double>(timestamp.videoRefreshPeriod) /
         static_cast<double>(timestamp.videoTimeScale);
}

}  // namespace movie_player_avfoundation
