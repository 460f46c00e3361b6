#include "plugins/movie_player_avfoundation/native_video_view_factory.h"

#include "plugins/movie_player_avfoundation/hvp_native_video_view.h"
#include "plugins/movie_player_avfoundation/messages.g.h"

namespace movie_player_avfoundation {

std::shared_ptr<NSView> NativeVideoViewFactory::createWithViewIdentifier(
    int64_t /*viewId*/, const flutter::Value& arguments) {
  auto params = arguments.asCustom<PlatformVideoViewCreationParams>();
  auto player = params ? player_provider_(params->playerId) : nullptr;
  if (!player) return std::make_shared<NSView>();
  return std::make_shared<HVPNativeVideoView>(player->player());
}

std::shared_ptr<const FlutterMessageCodec> NativeVideoViewFactory::createArgsCodec() {
  return VideoPlayerPluginMessagesPigeonCodec();
}

}  // namespace movie_player_avfoundation
