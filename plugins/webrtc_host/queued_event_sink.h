// An event sink that keeps the events sent while nobody listens and delivers them, in order, when
// listening starts. The sink and the queue change under one lock, so an event is either queued
// before a listener arrives (and flushed by it) or posted directly: never lost, never reordered.
#pragma once

#include <mutex>
#include <vector>

#include "platform/flutter/flutter.h"

namespace webrtc_host {

class QueuedEventSink {
 public:
  // Posts the event to the sink, or queues it while there is none.
  void send(flutter::Value event);
  // Takes the listener's sink and flushes the queue into it.
  void listen(FlutterEventSink sink);
  // Stops posting; later events queue again.
  void cancel();
  // Lets go of the sink and of the queued events.
  void clear();

 private:
  std::mutex mutex_;
  FlutterEventSink sink_;
  std::vector<flutter::Value> queue_;
};

}  // namespace webrtc_host
