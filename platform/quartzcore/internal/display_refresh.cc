#include "platform/quartzcore/internal/display_refresh.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/quartzcore/refresh_timer_period.h"

namespace quartzcore::internal {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

DisplayRefresh& DisplayRefresh::shared() {
  // Never destroyed: its timer thread lives as long as the process.
  static auto* const refresh = new DisplayRefresh();
  return *refresh;
}

void DisplayRefresh::add(std::weak_ptr<CADisplayLink> link) {
  std::lock_guard lock(mutex_);
  std::erase_if(links_, [](const auto& held) { return held.expired(); });
  links_.push_back(std::move(link));
}

void DisplayRefresh::linkChanged(const CADisplayLink& link) {
  std::lock_guard lock(mutex_);
  // Read under the lock, so that the last of two racing changes decides.
  if (link.wantsRefreshes()) {
    running_.insert(&link);
  } else {
    running_.erase(&link);
  }
  if (!running_.empty() && !timer_started_) {
    timer_started_ = true;
    std::thread([this] { timerLoop(); }).detach();
  }
  changed_.notify_all();
}

void DisplayRefresh::forget(const CADisplayLink* link) {
  std::lock_guard lock(mutex_);
  running_.erase(link);
  changed_.notify_all();
}

std::vector<std::shared_ptr<CADisplayLink>> DisplayRefresh::links() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<CADisplayLink>> live;
  for (const auto& held : links_) {
    if (auto link = held.lock()) live.push_back(std::move(link));
  }
  return live;
}

void DisplayRefresh::setHeld(bool held) {
  std::lock_guard lock(mutex_);
  held_ = held;
  changed_.notify_all();
}

bool DisplayRefresh::isIdle() {
  std::lock_guard lock(mutex_);
  return idle_;
}

void DisplayRefresh::timerLoop() {
  std::unique_lock lock(mutex_);
  std::optional<Clock::time_point> due;
  while (true) {
    if (held_ || running_.empty()) {
      idle_ = true;
      due.reset();
      changed_.wait(lock);
      continue;
    }
    idle_ = false;
    const auto period = refreshTimerPeriod(period_.load());
    if (!due) due = Clock::now() + period;
    if (changed_.wait_until(lock, *due) == std::cv_status::no_timeout) continue;
    // Refreshes missed while the main thread was busy are skipped, as the display does.
    const auto now = Clock::now();
    if (*due <= now) *due += ((now - *due) / period + 1) * period;
    if (refresh_queued_) continue;
    refresh_queued_ = true;
    dispatch_async(dispatch_get_main_queue(), [this] { refreshOnMainThread(); });
  }
}

void DisplayRefresh::refreshOnMainThread() {
  {
    std::lock_guard lock(mutex_);
    refresh_queued_ = false;
    if (held_) return;
  }
  for (const auto& link : links()) link->fire();
}

}  // namespace quartzcore::internal
