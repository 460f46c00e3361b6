// Shows one video track in a Flutter texture. The track pushes frames (on the framework's
// frame thread); each is converted, upright, into the renderer's one output buffer unless a
// converted frame still waits for the engine, which pulls it through copyPixelBuffer. Size,
// rotation and first-frame events go out on "WebRTCHost/Texture<id>" from the main queue.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_video_renderer.h"
#include "platform/webrtc/rtc_video_track.h"

namespace webrtc_host {

class HostRTCVideoRenderer : public FlutterTexture,
                             public RTCVideoRenderer,
                             public FlutterStreamHandler,
                             public std::enable_shared_from_this<HostRTCVideoRenderer> {
 public:
  // Registers the renderer as a texture and opens its event channel.
  static std::shared_ptr<HostRTCVideoRenderer> initWithTextureRegistry(
      const std::shared_ptr<FlutterTextureRegistry>& registry,
      const std::shared_ptr<FlutterBinaryMessenger>& messenger);
  explicit HostRTCVideoRenderer(std::weak_ptr<FlutterTextureRegistry> registry)
      : registry_(std::move(registry)) {}

  // -1 after dispose.
  int64_t textureId() const;
  std::shared_ptr<RTCVideoTrack> videoTrack() const;
  // Attaches, replaces or (with null) detaches the track; main thread.
  void setVideoTrack(const std::shared_ptr<RTCVideoTrack>& track);
  // Unregisters the texture and frees the buffer; the event channel stays.
  void dispose();

  // RTCVideoRenderer; the frame thread.
  void setSize(CGSize size) override;
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override;
  // FlutterTexture; the engine's raster thread.
  CVPixelBufferRef copyPixelBuffer() override;
  // FlutterStreamHandler; main thread.
  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

 private:
  void sendFirstFrameEvent();

  std::weak_ptr<FlutterTextureRegistry> registry_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  // Main thread only.
  FlutterEventSink event_sink_;
  bool is_first_frame_rendered_ = false;

  // Guards everything below: the frame thread, the raster thread and the main thread meet here.
  mutable std::mutex lock_;
  int64_t texture_id_ = -1;
  std::shared_ptr<RTCVideoTrack> video_track_;
  CVPixelBufferRef pixel_buffer_;
  bool frame_available_ = false;
  CGSize frame_size_;
  CGSize render_size_;
  int64_t rotation_ = -1;
  // Bumped by every track change, so that events of the old track's frames are dropped.
  uint64_t generation_ = 0;
};

}  // namespace webrtc_host
