// The system's now-playing display: the information about what plays and the playback state. One
// centre serves the whole process.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/mediaplayer/mp_now_playing_info_value.h"

enum MPNowPlayingPlaybackState : long {
  MPNowPlayingPlaybackStateUnknown = 0,
  MPNowPlayingPlaybackStatePlaying = 1,
  MPNowPlayingPlaybackStatePaused = 2,
  MPNowPlayingPlaybackStateStopped = 3,
  MPNowPlayingPlaybackStateInterrupted = 4,
};

enum MPNowPlayingInfoMediaType : long {
  MPNowPlayingInfoMediaTypeNone = 0,
  MPNowPlayingInfoMediaTypeAudio = 1,
  MPNowPlayingInfoMediaTypeVideo = 2,
};

inline constexpr const char* MPNowPlayingInfoPropertyElapsedPlaybackTime =
    "MPNowPlayingInfoPropertyElapsedPlaybackTime";
inline constexpr const char* MPNowPlayingInfoPropertyPlaybackRate =
    "MPNowPlayingInfoPropertyPlaybackRate";
inline constexpr const char* MPNowPlayingInfoPropertyDefaultPlaybackRate =
    "MPNowPlayingInfoPropertyDefaultPlaybackRate";
// An MPNowPlayingInfoMediaType number.
inline constexpr const char* MPNowPlayingInfoPropertyMediaType =
    "MPNowPlayingInfoPropertyMediaType";
inline constexpr const char* MPNowPlayingInfoPropertyIsLiveStream =
    "MPNowPlayingInfoPropertyIsLiveStream";

class MPNowPlayingInfoCenter;

namespace mediaplayer::testing {
std::vector<std::optional<MPNowPlayingInfo>> takeNowPlayingInfoPublications();
}

class MPNowPlayingInfoCenter {
 public:
  static std::shared_ptr<MPNowPlayingInfoCenter> defaultCenter();

  // nullopt while nothing is shown.
  std::optional<MPNowPlayingInfo> nowPlayingInfo() const;
  void setNowPlayingInfo(std::optional<MPNowPlayingInfo> info);

  MPNowPlayingPlaybackState playbackState() const;
  void setPlaybackState(MPNowPlayingPlaybackState state);

 private:
  friend std::vector<std::optional<MPNowPlayingInfo>>
  mediaplayer::testing::takeNowPlayingInfoPublications();

  // Tests read every publication; in a long-running process only the latest are kept.
  static constexpr size_t kKeptPublications = 1024;

  MPNowPlayingInfoCenter() = default;

  mutable std::mutex mutex_;
  std::optional<MPNowPlayingInfo> info_;
  MPNowPlayingPlaybackState playback_state_ = MPNowPlayingPlaybackStateUnknown;
  std::deque<std::optional<MPNowPlayingInfo>> publications_;
};
