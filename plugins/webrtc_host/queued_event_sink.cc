#include "plugins/webrtc_host/queued_event_sink.h"

#include "plugins/webrtc_host/post_event.h"

namespace webrtc_host {

void QueuedEventSink::send(flutter::Value event) {
  std::lock_guard lock(mutex_);
  if (sink_) {
    postEvent(sink_, std::move(event));
  } else {
    queue_.push_back(std::move(event));
  }
}

void QueuedEventSink::listen(FlutterEventSink sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
  if (!sink_) return;
  // Posting is asynchronous on the main queue, so the queued events keep their place ahead of any
  // posted after the lock is released.
  for (auto& event : queue_) postEvent(sink_, std::move(event));
  queue_.clear();
}

void QueuedEventSink::cancel() {
  std::lock_guard lock(mutex_);
  sink_ = nullptr;
}

void QueuedEventSink::clear() {
  std::lock_guard lock(mutex_);
  sink_ = nullptr;
  queue_.clear();
}

}  // namespace webrtc_host
