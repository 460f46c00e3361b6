// A media track: audio or video, with an id, an enabled switch and a ready state.
#pragma once

#include <atomic>
#include <string>

inline constexpr const char* kRTCMediaStreamTrackKindAudio = "audio";
inline constexpr const char* kRTCMediaStreamTrackKindVideo = "video";

enum RTCMediaStreamTrackState : int {
  RTCMediaStreamTrackStateLive = 0,
  RTCMediaStreamTrackStateEnded = 1,
};

class RTCMediaStreamTrack {
 public:
  virtual ~RTCMediaStreamTrack() = default;
  RTCMediaStreamTrack(const RTCMediaStreamTrack&) = delete;
  RTCMediaStreamTrack& operator=(const RTCMediaStreamTrack&) = delete;

  const std::string& kind() const { return kind_; }
  const std::string& trackId() const { return track_id_; }
  bool isEnabled() const { return enabled_; }
  void setIsEnabled(bool enabled) { enabled_ = enabled; }
  RTCMediaStreamTrackState readyState() const { return ready_state_; }

 protected:
  RTCMediaStreamTrack(std::string kind, std::string trackId)
      : kind_(std::move(kind)), track_id_(std::move(trackId)) {}

 private:
  friend class RTCRtpTransceiver;
  friend class RTCMediaStreamTrackControl;
  void end() { ready_state_ = RTCMediaStreamTrackStateEnded; }

  std::string kind_;
  std::string track_id_;
  std::atomic<bool> enabled_{true};
  std::atomic<RTCMediaStreamTrackState> ready_state_{RTCMediaStreamTrackStateLive};
};
