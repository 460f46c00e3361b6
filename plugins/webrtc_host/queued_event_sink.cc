#include "plugins/webrtc_host/queued_event_sink.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/event_bytes.h"
#include "plugins/webrtc_host/post_event.h"

namespace webrtc_host {

// Shared with the posted events, which give their bytes back once delivered.
struct QueuedEventSink::State {
  struct Waiting {
    flutter::Value event;
    size_t bytes;
  };

  State(std::string name, std::shared_ptr<EventByteBudget> budget)
      : name(std::move(name)), budget(std::move(budget)) {}

  // Holds the lock.
  void post(flutter::Value event, size_t bytes, const std::shared_ptr<State>& self) {
    postEvent(sink, std::move(event), [self, bytes] { self->release(bytes); });
  }
  void release(size_t bytes) {
    std::lock_guard lock(mutex);
    giveBack(bytes);
    if (held == 0) reportDrops();
  }
  // Holds the lock.
  void giveBack(size_t bytes) {
    held -= bytes;
    budget->give(bytes);
  }
  // Holds the lock.
  void reportDrops() {
    if (dropped_events == 0) return;
    NSLog("%s: dropped events: %zu (%zu bytes), past the %zu bytes that may wait for the Dart side",
          name.c_str(), dropped_events, dropped_bytes, budget->limit());
    dropped_events = 0;
    dropped_bytes = 0;
  }

  const std::string name;
  const std::shared_ptr<EventByteBudget> budget;
  std::mutex mutex;
  FlutterEventSink sink;
  std::vector<Waiting> queue;
  size_t held = 0;
  size_t dropped_events = 0;
  size_t dropped_bytes = 0;
};

QueuedEventSink::QueuedEventSink(std::string name, std::shared_ptr<EventByteBudget> budget)
    : state_(std::make_shared<State>(std::move(name), std::move(budget))) {}

QueuedEventSink::~QueuedEventSink() { clear(); }

void QueuedEventSink::send(flutter::Value event, Kind kind) {
  const size_t bytes = eventBytes(event);
  const auto& budget = *state_->budget;
  const size_t ceiling =
      kind == Kind::kEssential ? budget.limit() : budget.limit() - budget.reserve();
  std::lock_guard lock(state_->mutex);
  if (!state_->budget->tryTake(bytes, ceiling)) {
    ++state_->dropped_events;
    state_->dropped_bytes += bytes;
    return;
  }
  state_->held += bytes;
  if (state_->sink) {
    state_->post(std::move(event), bytes, state_);
  } else {
    state_->queue.push_back({std::move(event), bytes});
  }
}

void QueuedEventSink::listen(FlutterEventSink sink) {
  std::lock_guard lock(state_->mutex);
  state_->sink = std::move(sink);
  if (!state_->sink) return;
  // Posting is asynchronous on the main queue, so the queued events keep their place ahead of any
  // posted after the lock is released.
  for (auto& waiting : state_->queue) state_->post(std::move(waiting.event), waiting.bytes, state_);
  state_->queue.clear();
  state_->reportDrops();
}

void QueuedEventSink::cancel() {
  std::lock_guard lock(state_->mutex);
  state_->sink = nullptr;
}

void QueuedEventSink::clear() {
  std::vector<State::Waiting> queue;
  FlutterEventSink sink;
  {
    std::lock_guard lock(state_->mutex);
    sink = std::move(state_->sink);
    state_->sink = nullptr;
    queue = std::move(state_->queue);
    state_->queue.clear();
    for (const auto& waiting : queue) state_->giveBack(waiting.bytes);
    state_->reportDrops();
  }
  // The events and the sink go outside the lock.
}

size_t QueuedEventSink::heldBytes() const {
  std::lock_guard lock(state_->mutex);
  return state_->held;
}

}  // namespace webrtc_host
