// Makes the views of type "rtc_video_platform_view", each with its controller, and keeps the
// controllers by view id for the renderer methods.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/flutter/flutter.h"
#include "plugins/webrtc_host/host_rtc_video_platform_view_controller.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

inline constexpr const char* kRTCVideoPlatformViewType = "rtc_video_platform_view";

class HostRTCVideoPlatformViewFactory : public FlutterPlatformViewFactory {
 public:
  explicit HostRTCVideoPlatformViewFactory(std::shared_ptr<FlutterBinaryMessenger> messenger)
      : messenger_(std::move(messenger)) {}

  std::shared_ptr<NSView> createWithViewIdentifier(int64_t viewId,
                                                   const flutter::Value& arguments) override;
  std::shared_ptr<const FlutterMessageCodec> createArgsCodec() override;

  // Main thread.
  std::shared_ptr<HostRTCVideoPlatformViewController> controllerForViewId(int64_t viewId) const {
    return controllers_.find(viewId);
  }
  void removeController(int64_t viewId) { controllers_.remove(viewId); }
  // Detaches every controller from its track and forgets it.
  void removeAll();

 private:
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  Registry<int64_t, HostRTCVideoPlatformViewController> controllers_;
};

}  // namespace webrtc_host
