// A display link as the texture path uses it: while running it calls back on the main thread once
// per refresh of the display. `running` and `duration` may be read from any thread; only the main
// thread changes `running`.
#pragma once

namespace movie_player_avfoundation {

class HVPDisplayLink {
 public:
  virtual ~HVPDisplayLink() = default;
  virtual bool running() const = 0;
  virtual void setRunning(bool running) = 0;
  // The display's refresh period in seconds.
  virtual double duration() const = 0;
};

}  // namespace movie_player_avfoundation
