// The display's refresh: its period and the display links scheduled on the main run loop.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/quartzcore/ca_display_link.h"

namespace quartzcore::internal {

class DisplayRefresh {
 public:
  static DisplayRefresh& shared();

  void add(std::weak_ptr<CADisplayLink> link);
  // The live scheduled links, oldest first.
  std::vector<std::shared_ptr<CADisplayLink>> links();

  CFTimeInterval period() const { return period_.load(); }
  void setPeriod(CFTimeInterval seconds) { period_.store(seconds); }

 private:
  std::mutex mutex_;
  std::vector<std::weak_ptr<CADisplayLink>> links_;
  std::atomic<double> period_{1.0 / 60.0};
};

}  // namespace quartzcore::internal
