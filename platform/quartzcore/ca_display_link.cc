#include "platform/quartzcore/ca_display_link.h"

#include "platform/quartzcore/internal/display_refresh.h"

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithAction(Action action) {
  return std::make_shared<CADisplayLink>(std::move(action));
}

using quartzcore::internal::DisplayRefresh;

CADisplayLink::~CADisplayLink() { DisplayRefresh::shared().forget(this); }

void CADisplayLink::addToRunLoopCommonModes() {
  if (invalid_.load() || scheduled_.exchange(true)) return;
  DisplayRefresh::shared().add(weak_from_this());
  DisplayRefresh::shared().linkChanged(*this);
}

void CADisplayLink::invalidate() {
  invalid_.store(true);
  action_ = nullptr;
  DisplayRefresh::shared().linkChanged(*this);
}

void CADisplayLink::setPaused(bool paused) {
  paused_.store(paused);
  DisplayRefresh::shared().linkChanged(*this);
}

CFTimeInterval CADisplayLink::duration() const { return DisplayRefresh::shared().period(); }

void CADisplayLink::fire() {
  if (invalid_.load() || paused_.load() || !action_) return;
  timestamp_.store(CACurrentMediaTime());
  // The target may invalidate the link while it runs.
  Action action = action_;
  action(*this);
}
