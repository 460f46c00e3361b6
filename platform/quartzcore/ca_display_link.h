// Display links tied to a screen: while added to the run loop and not paused, the link calls its
// target on the main thread once per refresh of the display; refreshes missed while the main
// thread is busy are skipped, not queued. `paused` and `duration` may be read from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "platform/quartzcore/ca_media_timing.h"

namespace quartzcore::internal {
class DisplayRefresh;
}

class CADisplayLink : public std::enable_shared_from_this<CADisplayLink> {
 public:
  // The target with its selector: called with the link on every refresh.
  using Action = std::function<void(CADisplayLink&)>;

  // Made by the view or the screen that the link follows (NSView / NSScreen
  // displayLinkWithTarget).
  static std::shared_ptr<CADisplayLink> displayLinkWithAction(Action action);
  explicit CADisplayLink(Action action) : action_(std::move(action)) {}
  ~CADisplayLink();
  CADisplayLink(const CADisplayLink&) = delete;
  CADisplayLink& operator=(const CADisplayLink&) = delete;

  // Starts the refresh callbacks on the main run loop, in its common modes.
  void addToRunLoopCommonModes();
  // Stops the callbacks for good and releases the target.
  void invalidate();

  bool isPaused() const { return paused_.load(); }
  void setPaused(bool paused);
  // The display's refresh period in seconds.
  CFTimeInterval duration() const;
  // The time of the last refresh, in media-clock seconds; 0 before the first.
  CFTimeInterval timestamp() const { return timestamp_.load(); }

 private:
  friend struct CADisplayLinkModel;
  friend class quartzcore::internal::DisplayRefresh;
  // One refresh, on the main thread: calls the target unless paused or invalid.
  void fire();
  bool wantsRefreshes() const { return scheduled_.load() && !invalid_.load() && !paused_.load(); }

  Action action_;
  std::atomic<bool> paused_{false};
  std::atomic<bool> scheduled_{false};
  std::atomic<bool> invalid_{false};
  std::atomic<double> timestamp_{0.0};
};
