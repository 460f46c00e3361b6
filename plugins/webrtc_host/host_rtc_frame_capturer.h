// Saves the next frame of a video track as an image file: takes the first frame that arrives on
// the frame thread and detaches itself from the track on the main queue; then, on the save queue,
// turns the frame upright, encodes it (JPEG for the extension "jpg", PNG otherwise), writes it and
// answers the call.
// A track that delivers no frame within the capture's wait (a remote peer that sends none, a
// muted source) answers "CaptureFrameFailed" then, so the call never waits for ever.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_video_renderer.h"
#include "platform/webrtc/rtc_video_track.h"

namespace webrtc_host {

class HostRTCFrameCapturer : public RTCVideoRenderer,
                             public std::enable_shared_from_this<HostRTCFrameCapturer> {
 public:
  // Called on the main queue once the capturer has let go of its track.
  using Finished = std::function<void(HostRTCFrameCapturer&)>;

  // How long a capture waits for its frame.
  static constexpr std::chrono::seconds kFrameWait{30};

  static std::shared_ptr<HostRTCFrameCapturer> initWithTrack(
      std::shared_ptr<RTCVideoTrack> track, std::string path, FlutterResult result,
      Finished finished, dispatch_queue_t saveQueue,
      std::chrono::milliseconds frameWait = kFrameWait);
  HostRTCFrameCapturer(std::shared_ptr<RTCVideoTrack> track, std::string path, FlutterResult result,
                       Finished finished, dispatch_queue_t saveQueue);

  void setSize(CGSize /*size*/) override {}
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override;

  // Answers a capture that no frame reached and lets go of the track; main thread.
  void abandon(const FlutterError& error);

  const std::string& trackId() const { return track_id_; }

  // A new pixel buffer (32BGRA) with the frame's pixels, not rotated.
  static CVPixelBufferRef convertToCVPixelBuffer(const RTCVideoFrame& frame);

 private:
  void detach();
  void save(const RTCVideoFrame& frame, const FlutterResult& result) const;

  std::mutex mutex_;
  std::shared_ptr<RTCVideoTrack> track_;
  const std::string track_id_;
  const std::string path_;
  const dispatch_queue_t save_queue_;
  FlutterResult result_;
  Finished finished_;
  std::atomic<bool> got_frame_{false};
};

}  // namespace webrtc_host
