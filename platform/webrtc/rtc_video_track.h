// A video track: frames of its source reach its renderers while it is enabled. Each renderer is
// told the upright size of the frames (width and height exchanged for a quarter turn) before
// the first frame of a new size, then every frame.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/webrtc/rtc_media_stream_track.h"
#include "platform/webrtc/rtc_video_renderer.h"
#include "platform/webrtc/rtc_video_source.h"

class RTCVideoTrack : public RTCMediaStreamTrack,
                      public std::enable_shared_from_this<RTCVideoTrack> {
 public:
  // A track made this way receives its source's frames.
  static std::shared_ptr<RTCVideoTrack> create(std::shared_ptr<RTCVideoSource> source,
                                               std::string trackId);

  const std::shared_ptr<RTCVideoSource>& source() const { return source_; }

  void addRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer);
  void removeRenderer(const std::shared_ptr<RTCVideoRenderer>& renderer);

  // Hands a frame to the renderers (nothing while disabled), on the calling thread.
  void deliverFrame(const std::shared_ptr<RTCVideoFrame>& frame);

  RTCVideoTrack(std::shared_ptr<RTCVideoSource> source, std::string trackId)
      : RTCMediaStreamTrack(kRTCMediaStreamTrackKindVideo, std::move(trackId)),
        source_(std::move(source)) {}

 private:
  std::shared_ptr<RTCVideoSource> source_;
  struct Attached {
    std::shared_ptr<RTCVideoRenderer> renderer;
    // The size last told to the renderer; zero until its first frame.
    CGSize size;
  };
  std::mutex mutex_;
  std::vector<Attached> renderers_;
};
