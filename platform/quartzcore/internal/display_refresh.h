// The display's refresh: its period and the display links scheduled on the main run loop. While
// any scheduled link is valid and unpaused, a thread of its own times the refreshes and hands each
// to the main queue; with none, the thread waits with no timer armed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/quartzcore/ca_display_link.h"

namespace quartzcore::internal {

class DisplayRefresh {
 public:
  static DisplayRefresh& shared();

  void add(std::weak_ptr<CADisplayLink> link);
  // Called after every change of the link's scheduled, paused or valid state.
  void linkChanged(const CADisplayLink& link);
  // The link is going away.
  void forget(const CADisplayLink* link);
  // The live scheduled links, oldest first.
  std::vector<std::shared_ptr<CADisplayLink>> links();

  CFTimeInterval period() const { return period_.load(); }
  void setPeriod(CFTimeInterval seconds) { period_.store(seconds); }

  // While held, nothing refreshes the links but the test controls.
  void setHeld(bool held);
  bool isIdle();

 private:
  void timerLoop();
  void refreshOnMainThread();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::weak_ptr<CADisplayLink>> links_;
  // The links that want refreshes, by identity only.
  std::set<const CADisplayLink*> running_;
  bool held_ = false;
  bool timer_started_ = false;
  bool idle_ = true;
  // A refresh handed to the main queue and not yet run: at most one waits there.
  bool refresh_queued_ = false;
  std::atomic<double> period_{1.0 / 60.0};
};

}  // namespace quartzcore::internal
