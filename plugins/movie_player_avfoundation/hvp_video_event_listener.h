// What a player reports about itself, on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

namespace movie_player_avfoundation {

class HVPVideoEventListener {
 public:
  virtual ~HVPVideoEventListener() = default;
  virtual void videoPlayerDidInitializeWithDuration(int64_t durationMillis, CGSize size) = 0;
  virtual void videoPlayerDidErrorWithMessage(const std::string& message) = 0;
  virtual void videoPlayerDidComplete() = 0;
  virtual void videoPlayerDidStartBuffering() = 0;
  virtual void videoPlayerDidEndBuffering() = 0;
  // [start ms, duration ms] per loaded range.
  virtual void videoPlayerDidUpdateBufferRegions(const std::vector<std::vector<int64_t>>& regions) = 0;
  virtual void videoPlayerDidSetPlaying(bool playing) = 0;
  virtual void videoPlayerWasDisposed() = 0;
};

}  // namespace movie_player_avfoundation
