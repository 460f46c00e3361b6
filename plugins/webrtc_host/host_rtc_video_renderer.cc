#include "plugins/webrtc_host/host_rtc_video_renderer.h"

#include "platform/dispatch/dispatch.h"
#include "plugins/webrtc_host/i420_pixel_buffer_writer.h"
#include "plugins/webrtc_host/weak_stream_handler.h"

namespace webrtc_host {

std::shared_ptr<HostRTCVideoRenderer> HostRTCVideoRenderer::initWithTextureRegistry(
    const std::shared_ptr<FlutterTextureRegistry>& registry,
    const std::shared_ptr<FlutterBinaryMessenger>& messenger) {
  auto renderer = std::make_shared<HostRTCVideoRenderer>(registry);
  const int64_t id = registry->registerTexture(renderer);
  {
    std::lock_guard lock(renderer->lock_);
    renderer->texture_id_ = id;
  }
  renderer->event_channel_ = FlutterEventChannel::eventChannelWithName(
      "WebRTCHost/Texture" + std::to_string(id), messenger);
  renderer->event_channel_->setStreamHandler(std::make_shared<WeakStreamHandler>(renderer));
  return renderer;
}

int64_t HostRTCVideoRenderer::textureId() const {
  std::lock_guard lock(lock_);
  return texture_id_;
}

std::shared_ptr<RTCVideoTrack> HostRTCVideoRenderer::videoTrack() const {
  std::lock_guard lock(lock_);
  return video_track_;
}

void HostRTCVideoRenderer::setVideoTrack(const std::shared_ptr<RTCVideoTrack>& track) {
  std::shared_ptr<RTCVideoTrack> old;
  {
    std::lock_guard lock(lock_);
    if (track == video_track_) return;
    old = std::exchange(video_track_, track);
    frame_size_ = CGSize{};
    render_size_ = CGSize{};
    rotation_ = -1;
    ++generation_;
  }
  is_first_frame_rendered_ = false;
  if (old) old->removeRenderer(shared_from_this());
  if (track) track->addRenderer(shared_from_this());
}

void HostRTCVideoRenderer::dispose() {
  std::lock_guard lock(lock_);
  if (auto registry = registry_.lock(); registry && texture_id_ != -1) {
    registry->unregisterTexture(texture_id_);
  }
  texture_id_ = -1;
  pixel_buffer_.reset();
  frame_available_ = false;
}

void HostRTCVideoRenderer::setSize(CGSize size) {
  std::lock_guard lock(lock_);
  if (size == frame_size_) return;
  pixel_buffer_.reset();
  // A failed creation leaves no buffer: frames are skipped until the next size change.
  CVPixelBufferCreate(static_cast<size_t>(size.width > 0 ? size.width : 0),
                      static_cast<size_t>(size.height > 0 ? size.height : 0),
                      kCVPixelFormatType_32BGRA, &pixel_buffer_);
  frame_available_ = false;
  frame_size_ = size;
}

void HostRTCVideoRenderer::renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!frame) return;
  const CGSize size{static_cast<double>(frame->width()), static_cast<double>(frame->height())};
  bool size_changed = false;
  bool rotation_changed = false;
  uint64_t generation;
  {
    std::lock_guard lock(lock_);
    if (!video_track_) return;
    if (!frame_available_ && pixel_buffer_) {
      if (frame->buffer()) {
        writeI420ToPixelBuffer(*rotatedI420(*frame->buffer(), frame->rotation()), *pixel_buffer_);
      }
      if (auto registry = registry_.lock(); registry && texture_id_ != -1) {
        registry->textureFrameAvailable(texture_id_);
      }
      frame_available_ = true;
    }
    if (render_size_ != size) {
      size_changed = true;
      render_size_ = size;
    }
    if (frame->rotation() != rotation_) {
      rotation_changed = true;
      rotation_ = frame->rotation();
    }
    generation = generation_;
  }
  std::weak_ptr<HostRTCVideoRenderer> weak = weak_from_this();
  if (size_changed) {
    dispatch_async(dispatch_get_main_queue(), [weak, frame] {
      auto self = weak.lock();
      if (!self || !self->event_sink_) return;
      self->event_sink_(flutter::ValueMap{{"event", "didTextureChangeVideoSize"},
                                          {"id", self->textureId()},
                                          {"width", int32_t(frame->width())},
                                          {"height", int32_t(frame->height())}});
    });
  }
  if (rotation_changed) {
    dispatch_async(dispatch_get_main_queue(), [weak, frame] {
      auto self = weak.lock();
      if (!self || !self->event_sink_) return;
      self->event_sink_(flutter::ValueMap{{"event", "didTextureChangeRotation"},
                                          {"id", self->textureId()},
                                          {"rotation", int32_t(frame->rotation())}});
    });
  }
  dispatch_async(dispatch_get_main_queue(), [weak, generation] {
    auto self = weak.lock();
    if (!self) return;
    {
      std::lock_guard lock(self->lock_);
      // A frame of a track that has since been replaced says nothing about the new one.
      if (generation != self->generation_) return;
    }
    self->sendFirstFrameEvent();
  });
}

void HostRTCVideoRenderer::sendFirstFrameEvent() {
  if (is_first_frame_rendered_ || !event_sink_) return;
  event_sink_(flutter::ValueMap{{"event", "didFirstFrameRendered"}});
  is_first_frame_rendered_ = true;
}

CVPixelBufferRef HostRTCVideoRenderer::copyPixelBuffer() {
  std::lock_guard lock(lock_);
  if (!pixel_buffer_ || !frame_available_) return nullptr;
  frame_available_ = false;
  return pixel_buffer_;
}

std::optional<FlutterError> HostRTCVideoRenderer::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> HostRTCVideoRenderer::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  event_sink_ = nullptr;
  return std::nullopt;
}

}  // namespace webrtc_host
