#include "plugins/webrtc_host/host_rtc_video_platform_view_controller.h"

#include "plugins/webrtc_host/post_event.h"
#include "plugins/webrtc_host/weak_stream_handler.h"

namespace webrtc_host {

std::shared_ptr<HostRTCVideoPlatformViewController>
HostRTCVideoPlatformViewController::initWithMessenger(
    const std::shared_ptr<FlutterBinaryMessenger>& messenger, int64_t viewId, NSRect frame) {
  auto controller = std::make_shared<HostRTCVideoPlatformViewController>(viewId, frame);
  controller->event_channel_ = FlutterEventChannel::eventChannelWithName(
      "WebRTCHost/PlatformViewId" + std::to_string(viewId), messenger);
  controller->event_channel_->setStreamHandler(std::make_shared<WeakStreamHandler>(controller));
  return controller;
}

HostRTCVideoPlatformViewController::HostRTCVideoPlatformViewController(int64_t viewId,
                                                                       NSRect frame)
    : video_view_(std::make_shared<HostRTCVideoPlatformView>(frame)), view_id_(viewId) {}

std::shared_ptr<RTCVideoTrack> HostRTCVideoPlatformViewController::videoTrack() const {
  std::lock_guard lock(mutex_);
  return video_track_;
}

void HostRTCVideoPlatformViewController::setVideoTrack(
    const std::shared_ptr<RTCVideoTrack>& track) {
  std::shared_ptr<RTCVideoTrack> old;
  {
    std::lock_guard lock(mutex_);
    if (track == video_track_) return;
    old = std::exchange(video_track_, track);
    is_first_frame_rendered_ = false;
    render_size_ = CGSize{};
    rotation_ = -1;
  }
  if (old) old->removeRenderer(shared_from_this());
  if (track) track->addRenderer(shared_from_this());
}

void HostRTCVideoPlatformViewController::post(flutter::Value event) {
  // Called with the lock held; the sink is only handed over to the main queue.
  postEvent(event_sink_, std::move(event));
}

void HostRTCVideoPlatformViewController::renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!frame || frame->width() <= 0 || frame->height() <= 0) return;
  {
    std::lock_guard lock(mutex_);
    const CGSize size{double(frame->width()), double(frame->height())};
    if (render_size_ != size || !is_first_frame_rendered_) {
      if (event_sink_) {
        post(flutter::ValueMap{{"event", "didPlatformViewChangeVideoSize"},
                               {"id", view_id_},
                               {"width", int32_t(frame->width())},
                               {"height", int32_t(frame->height())}});
      }
      render_size_ = size;
    }
    if (frame->rotation() != rotation_ || !is_first_frame_rendered_) {
      if (event_sink_) {
        post(flutter::ValueMap{{"event", "didPlatformViewChangeRotation"},
                               {"id", view_id_},
                               {"rotation", int32_t(frame->rotation())}});
      }
      rotation_ = frame->rotation();
    }
    if (!is_first_frame_rendered_) {
      if (event_sink_) post(flutter::ValueMap{{"event", "didFirstFrameRendered"}});
      is_first_frame_rendered_ = true;
    }
  }
  video_view_->renderFrame(frame);
}

std::optional<FlutterError> HostRTCVideoPlatformViewController::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  std::lock_guard lock(mutex_);
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> HostRTCVideoPlatformViewController::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  std::lock_guard lock(mutex_);
  event_sink_ = nullptr;
  return std::nullopt;
}

}  // namespace webrtc_host
