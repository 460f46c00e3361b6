// Attaches a video track to one platform view and reports the size, rotation and first frame
// of what it shows on "WebRTCHost/PlatformViewId<view id>".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_video_renderer.h"
#include "platform/webrtc/rtc_video_track.h"
#include "plugins/webrtc_host/host_rtc_video_platform_view.h"

namespace webrtc_host {

class HostRTCVideoPlatformViewController
    : public FlutterStreamHandler,
      public RTCVideoRenderer,
      public std::enable_shared_from_this<HostRTCVideoPlatformViewController> {
 public:
  static std::shared_ptr<HostRTCVideoPlatformViewController> initWithMessenger(
      const std::shared_ptr<FlutterBinaryMessenger>& messenger, int64_t viewId, NSRect frame);
  HostRTCVideoPlatformViewController(int64_t viewId, NSRect frame);

  const std::shared_ptr<HostRTCVideoPlatformView>& view() const { return video_view_; }
  std::shared_ptr<RTCVideoTrack> videoTrack() const;
  // Main thread.
  void setVideoTrack(const std::shared_ptr<RTCVideoTrack>& track);

  // RTCVideoRenderer; the frame thread.
  void setSize(CGSize size) override { video_view_->setSize(size); }
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override;

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

 private:
  void post(flutter::Value event);

  std::shared_ptr<HostRTCVideoPlatformView> video_view_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  const int64_t view_id_;

  // The frame thread and the main thread both touch these.
  mutable std::mutex mutex_;
  FlutterEventSink event_sink_;
  std::shared_ptr<RTCVideoTrack> video_track_;
  bool is_first_frame_rendered_ = false;
  CGSize render_size_;
  int64_t rotation_ = -1;
};

}  // namespace webrtc_host
