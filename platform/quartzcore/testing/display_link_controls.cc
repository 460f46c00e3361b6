#include "platform/quartzcore/testing/display_link_controls.h"

#include "platform/quartzcore/internal/display_refresh.h"

struct CADisplayLinkModel {
  static bool fire(CADisplayLink& link) {
    if (link.invalid_.load() || link.paused_.load()) return false;
    link.fire();
    return true;
  }
};

namespace quartzcore::testing {

void setDisplayRefreshPeriod(CFTimeInterval seconds) {
  internal::DisplayRefresh::shared().setPeriod(seconds);
}

int refreshDisplay() {
  int fired = 0;
  for (const auto& link : internal::DisplayRefresh::shared().links()) {
    if (CADisplayLinkModel::fire(*link)) ++fired;
  }
  return fired;
}

void holdDisplayRefresh(bool held) { internal::DisplayRefresh::shared().setHeld(held); }

bool displayRefreshIsIdle() { return internal::DisplayRefresh::shared().isIdle(); }

}  // namespace quartzcore::testing
