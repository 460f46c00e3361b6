// A media stream: an id and its audio and video tracks, in the order they were added.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_audio_track.h"
#include "platform/webrtc/rtc_video_track.h"

class RTCMediaStream {
 public:
  explicit RTCMediaStream(std::string streamId) : stream_id_(std::move(streamId)) {}
  RTCMediaStream(const RTCMediaStream&) = delete;
  RTCMediaStream& operator=(const RTCMediaStream&) = delete;

  const std::string& streamId() const { return stream_id_; }
  std::vector<std::shared_ptr<RTCAudioTrack>> audioTracks() const;
  std::vector<std::shared_ptr<RTCVideoTrack>> videoTracks() const;

  // Adding a track the stream already holds, or removing one it does not, does nothing.
  void addAudioTrack(const std::shared_ptr<RTCAudioTrack>& track);
  void addVideoTrack(const std::shared_ptr<RTCVideoTrack>& track);
  void removeAudioTrack(const std::shared_ptr<RTCAudioTrack>& track);
  void removeVideoTrack(const std::shared_ptr<RTCVideoTrack>& track);

 private:
  std::string stream_id_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<RTCAudioTrack>> audio_tracks_;
  std::vector<std::shared_ptr<RTCVideoTrack>> video_tracks_;
};
