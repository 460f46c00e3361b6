#include "platform/network/nw_path_monitor.h"

#include "platform/network/nw_path_monitor_state.h"
#include "platform/network/path_watcher.h"

void NWPathMonitor::State::scheduleUpdate() {
  dispatch_queue_t target;
  {
    std::lock_guard lock(mutex);
    if (cancelled || !queue) return;
    target = queue;
  }
  dispatch_async(target, [self = shared_from_this()] { self->deliver(); });
}

void NWPathMonitor::State::deliver() {
  NWPath path = network::PathWatcher::shared().currentPath();
  PathUpdateHandler current;
  {
    std::lock_guard lock(mutex);
    if (cancelled || delivered == path) return;
    delivered = path;
    current = handler;
  }
  if (current) current(path);
}

NWPathMonitor::NWPathMonitor() : state_(std::make_shared<State>()) {}

NWPathMonitor::~NWPathMonitor() { cancel(); }

void NWPathMonitor::start(dispatch_queue_t queue) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled || state_->queue || !queue) return;
    state_->queue = std::move(queue);
  }
  network::PathWatcher::shared().subscribe(state_);
  state_->scheduleUpdate();
}

void NWPathMonitor::cancel() {
  PathUpdateHandler released;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled) return;
    state_->cancelled = true;
    // The handler may hold its owner; letting go of it here breaks that cycle.
    released = std::move(state_->handler);
    state_->handler = nullptr;
  }
  network::PathWatcher::shared().unsubscribe(state_.get());
}

void NWPathMonitor::setPathUpdateHandler(PathUpdateHandler handler) {
  std::lock_guard lock(state_->mutex);
  if (!state_->cancelled) state_->handler = std::move(handler);
}

NWPath NWPathMonitor::currentPath() const { return network::PathWatcher::shared().currentPath(); }
