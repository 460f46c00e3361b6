#include "plugins/webrtc_host/host_rtc_video_platform_view_factory.h"

namespace webrtc_host {

std::shared_ptr<NSView> HostRTCVideoPlatformViewFactory::createWithViewIdentifier(
    int64_t viewId, const flutter::Value& /*arguments*/) {
  auto controller =
      HostRTCVideoPlatformViewController::initWithMessenger(messenger_, viewId, CGRectZero);
  controllers_.add(viewId, controller);
  return controller->view();
}

std::shared_ptr<const FlutterMessageCodec> HostRTCVideoPlatformViewFactory::createArgsCodec() {
  return FlutterStandardMessageCodec::sharedInstance();
}

void HostRTCVideoPlatformViewFactory::removeAll() {
  for (const auto& [id, controller] : controllers_.takeAll()) controller->setVideoTrack(nullptr);
}

}  // namespace webrtc_host
