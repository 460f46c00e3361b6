#include "plugins/movie_player_avfoundation/display_link_factory.h"

#include "platform/foundation/ns_process_info.h"
#include "plugins/movie_player_avfoundation/hvp_ca_display_link.h"
#include "plugins/movie_player_avfoundation/hvp_core_video_display_link.h"

namespace movie_player_avfoundation {

std::shared_ptr<HVPDisplayLink> DefaultDisplayLinkFactory::makeDisplayLink(
    const std::shared_ptr<HVPViewProvider>& viewProvider, std::function<void()> callback) {
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 0, 0})) {
    return std::make_shared<HVPCADisplayLink>(viewProvider, std::move(callback));
  }
  return std::make_shared<HVPCoreVideoDisplayLink>(viewProvider, std::move(callback));
}

}  // namespace movie_player_avfoundation
