#include "platform/avfoundation/cv_display_link.h"

#include <chrono>
#include <optional>

#include "platform/avfoundation/cv_display_link_registry.h"
#include "platform/quartzcore/ca_media_timing.h"
#include "platform/quartzcore/refresh_timer_period.h"

namespace {

using Clock = std::chrono::steady_clock;

CVTimeStamp timeStampAt(int64_t videoTime) {
  auto& registry = CVDisplayLinkRegistry::shared();
  CVTimeStamp stamp;
  stamp.videoTimeScale = registry.timeScale();
  stamp.videoRefreshPeriod = registry.refreshPeriod();
  stamp.videoTime = videoTime * stamp.videoRefreshPeriod;
  stamp.hostTime = static_cast<uint64_t>(CACurrentMediaTime() * 1e9);
  stamp.rateScalar = 1.0;
  return stamp;
}

// The registry's refresh period as the timer uses it.
Clock::duration refreshInterval() {
  auto& registry = CVDisplayLinkRegistry::shared();
  return quartzcore::refreshTimerPeriod(
      registry.timeScale() > 0 ? static_cast<double>(registry.refreshPeriod()) / registry.timeScale()
                               : 0.0);
}

// The link whose callback this thread is running, and whether that callback released it.
thread_local const CVDisplayLink* t_ticking_link = nullptr;
thread_local bool t_released_in_callback = false;

}  // namespace

CVDisplayLink::CVDisplayLink() : display_(CGMainDisplayID()) {
  CVDisplayLinkRegistry::shared().add(this);
}

CVDisplayLink::~CVDisplayLink() {
  // Unlisted first, so that no refresh is asked of a link that is going away.
  CVDisplayLinkRegistry::shared().remove(this);
  stop();
  // A thread stopped from its own callback may still be finishing it; released from inside that
  // callback, the thread must not touch the link once the callback returns.
  const bool fromOwnCallback = t_ticking_link == this;
  if (fromOwnCallback) t_released_in_callback = true;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return live_threads_ <= (fromOwnCallback ? 1 : 0); });
}

void CVDisplayLink::start() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  running_ = true;
  ticks_delivered_ = ticks_requested_;
  ++live_threads_;
  thread_ = std::thread([this, generation = ++generation_] { tickLoop(generation); });
}

void CVDisplayLink::stop() {
  std::thread ticking;
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    ticking = std::move(thread_);
  }
  changed_.notify_all();
  if (!ticking.joinable()) return;
  if (ticking.get_id() == std::this_thread::get_id()) {
    ticking.detach();  // stopped from its own callback: it ends when the callback returns
  } else {
    ticking.join();
  }
}

void CVDisplayLink::tickLoop(uint64_t generation) {
  auto& registry = CVDisplayLinkRegistry::shared();
  std::unique_lock lock(mutex_);
  auto current = [&] { return running_ && generation_ == generation; };
  auto requested = [&] { return ticks_requested_ > ticks_delivered_; };
  // The next refresh of the display; none while the refresh is held.
  std::optional<Clock::time_point> due;
  while (true) {
    bool onTime = false;
    while (current() && !requested()) {
      if (registry.refreshHeld().load()) {
        due.reset();
        changed_.wait(lock);
        continue;
      }
      if (!due) due = Clock::now() + refreshInterval();
      if (changed_.wait_until(lock, *due) == std::cv_status::timeout) {
        onTime = true;
        break;
      }
    }
    if (!current()) break;
    CVDisplayLinkOutputCallback callback = callback_;
    CVTimeStamp now = timeStampAt(video_time_++);
    CVTimeStamp output = timeStampAt(video_time_);
    lock.unlock();
    if (callback) {
      CVOptionFlags flagsOut = 0;
      t_ticking_link = this;
      callback(*this, now, output, 0, &flagsOut);
      t_ticking_link = nullptr;
      if (t_released_in_callback) return;  // the link is gone
    }
    lock.lock();
    // Stopped, or stopped and restarted, during the callback: this thread's ticks are over.
    if (!current()) break;
    if (onTime) {
      // Refreshes missed during a slow callback are skipped, as the display does.
      const auto period = refreshInterval();
      const auto late = Clock::now() - *due;
      *due += (late < period ? 1 : late / period + 1) * period;
      continue;
    }
    ++ticks_delivered_;
    changed_.notify_all();
  }
  --live_threads_;
  changed_.notify_all();
}

CVReturn CVDisplayLinkCreateWithActiveCGDisplays(CVDisplayLinkRef* displayLinkOut) {
  if (displayLinkOut == nullptr) return kCVReturnInvalidArgument;
  if (CVDisplayLinkRegistry::shared().failNextCreation().exchange(false)) {
    *displayLinkOut = nullptr;
    return kCVReturnError;
  }
  *displayLinkOut = std::make_shared<CVDisplayLink>();
  return kCVReturnSuccess;
}

CVReturn CVDisplayLinkSetOutputCallback(const CVDisplayLinkRef& link,
                                        CVDisplayLinkOutputCallback callback) {
  if (!link) return kCVReturnInvalidArgument;
  std::lock_guard lock(link->mutex_);
  link->callback_ = std::move(callback);
  return kCVReturnSuccess;
}

CVReturn CVDisplayLinkStart(const CVDisplayLinkRef& link) {
  if (!link) return kCVReturnInvalidArgument;
  link->start();
  return kCVReturnSuccess;
}

CVReturn CVDisplayLinkStop(const CVDisplayLinkRef& link) {
  if (!link) return kCVReturnInvalidArgument;
  link->stop();
  return kCVReturnSuccess;
}

bool CVDisplayLinkIsRunning(const CVDisplayLinkRef& link) {
  if (!link) return false;
  std::lock_guard lock(link->mutex_);
  return link->running_;
}

CVReturn CVDisplayLinkSetCurrentCGDisplay(const CVDisplayLinkRef& link, CGDirectDisplayID display) {
  if (!link) return kCVReturnInvalidArgument;
  std::lock_guard lock(link->mutex_);
  link->display_ = display;
  return kCVReturnSuccess;
}

CGDirectDisplayID CVDisplayLinkGetCurrentCGDisplay(const CVDisplayLinkRef& link) {
  if (!link) return 0;
  std::lock_guard lock(link->mutex_);
  return link->display_;
}

CVReturn CVDisplayLinkGetCurrentTime(const CVDisplayLinkRef& link, CVTimeStamp* outTime) {
  if (!link || outTime == nullptr) return kCVReturnInvalidArgument;
  std::lock_guard lock(link->mutex_);
  if (!link->running_) return kCVReturnDisplayLinkNotRunning;
  *outTime = timeStampAt(link->video_time_);
  return kCVReturnSuccess;
}
