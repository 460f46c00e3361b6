// What CoreVideo's display links share: the display's refresh period, the live links (for the
// test controls' refreshes), whether the controls hold the refresh, and a pending creation
// failure.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CVDisplayLink;

class CVDisplayLinkRegistry {
 public:
  static CVDisplayLinkRegistry& shared();

  void add(CVDisplayLink* link);
  void remove(CVDisplayLink* link);
  template <typename Visit>
  void forEach(Visit visit) {
    std::lock_guard lock(mutex_);
    for (CVDisplayLink* link : links_) visit(*link);
  }

  // The refresh period as a count of units of the time scale.
  int64_t refreshPeriod() const { return refresh_period_.load(); }
  int32_t timeScale() const { return time_scale_.load(); }
  void setRefreshPeriod(int64_t period, int32_t timeScale) {
    refresh_period_.store(period);
    time_scale_.store(timeScale);
  }
  std::atomic<bool>& failNextCreation() { return fail_next_creation_; }
  // While set, running links tick only when the test controls ask.
  std::atomic<bool>& refreshHeld() { return refresh_held_; }

 private:
  std::mutex mutex_;
  std::vector<CVDisplayLink*> links_;
  std::atomic<int64_t> refresh_period_{1};
  std::atomic<int32_t> time_scale_{60};
  std::atomic<bool> fail_next_creation_{false};
  std::atomic<bool> refresh_held_{false};
};
