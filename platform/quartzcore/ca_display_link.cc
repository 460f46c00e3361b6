#include "platform/quartzcore/ca_display_link.h"

#include "platform/quartzcore/internal/display_refresh.h"

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithAction(Action action) {
  return std::make_shared<CADisplayLink>(std::move(action));
}

void CADisplayLink::addToRunLoopCommonModes() {
  if (invalid_.load() || scheduled_.exchange(true)) return;
  quartzcore::internal::DisplayRefresh::shared().add(weak_from_this());
}

void CADisplayLink::invalidate() {
  invalid_.store(true);
  action_ = nullptr;
}

CFTimeInterval CADisplayLink::duration() const {
  return quartzcore::internal::DisplayRefresh::shared().period();
}

void CADisplayLink::fire() {
  if (invalid_.load() || paused_.load() || !action_) return;
  timestamp_.store(CACurrentMediaTime());
  // The target may invalidate the link while it runs.
  Action action = action_;
  action(*this);
}
