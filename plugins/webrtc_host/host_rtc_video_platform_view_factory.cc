#include "plugins/webrtc_host/host_rtc_video_platform_view_factory.h"

namespace webrtc_host {

std::shared_ptr<NSView> HostRTCVideoPlatformViewFactory::createWithViewIdentifier(
    int64_t viewId, const flutter::Value& /*arguments*/) {
  auto controller =
      HostRTCVideoPlatformViewController::initWithMessenger(messenger_, viewId, CGRectZero);
  renders_[viewId] = controller;
  return controller->view();
}

std::shared_ptr<const FlutterMessageCodec> HostRTCVideoPlatformViewFactory::createArgsCodec() {
  return FlutterStandardMessageCodec::sharedInstance();
}

std::shared_ptr<HostRTCVideoPlatformViewController>
HostRTCVideoPlatformViewFactory::controllerForViewId(int64_t viewId) const {
  auto found = renders_.find(viewId);
  return found == renders_.end() ? nullptr : found->second;
}

void HostRTCVideoPlatformViewFactory::removeAll() {
  for (const auto& [id, controller] : renders_) controller->setVideoTrack(nullptr);
  renders_.clear();
}

}  // namespace webrtc_host
