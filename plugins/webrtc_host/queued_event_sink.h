// An event sink that keeps the events sent while nobody listens and delivers them, in order, when
// listening starts. The sink and the queue change under one lock, so an event is either queued
// before a listener arrives (and flushed by it) or posted directly: never lost, never reordered.
//
// What waits, queued or posted and not yet delivered on the main queue, is charged to a byte
// budget, which may be shared with other queues. An event that does not fit is dropped; the drops
// are counted and written as one log line naming the queue once it has nothing waiting again, a
// listener arrives, or it is let go.
#pragma once

#include <memory>
#include <string>

#include "platform/flutter/flutter.h"
#include "plugins/webrtc_host/event_byte_budget.h"

namespace webrtc_host {

class QueuedEventSink {
 public:
  enum class Kind {
    kDroppable,
    // Events few by nature that the Dart side cannot do without, such as a channel's state
    // changes: they may also use the budget's reserve, which droppable events leave free.
    kEssential,
  };

  QueuedEventSink(std::string name, std::shared_ptr<EventByteBudget> budget);
  ~QueuedEventSink();
  QueuedEventSink(const QueuedEventSink&) = delete;
  QueuedEventSink& operator=(const QueuedEventSink&) = delete;

  // Posts the event to the sink, or queues it while there is none.
  void send(flutter::Value event, Kind kind = Kind::kDroppable);
  // Takes the listener's sink and flushes the queue into it.
  void listen(FlutterEventSink sink);
  // Stops posting; later events queue again.
  void cancel();
  // Lets go of the sink and of the queued events.
  void clear();

  // Bytes of this queue's events that wait, queued or posted.
  size_t heldBytes() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace webrtc_host
