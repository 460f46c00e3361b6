// Runs each call's work on one serial queue in the order the calls came, and answers each on the
// thread that finishes it, before the next call's work starts: the answers are given in call order,
// and a large one is encoded there, never on the main thread. A call's work may finish later than
// the block that started it (a page drawn by the worker). Queued work keeps the sequence alive.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter.h"

namespace pdf_pages {

class CallSequence : public std::enable_shared_from_this<CallSequence> {
 public:
  using Answer = std::variant<flutter::Value, FlutterError>;
  // Called once, from any thread, with the call's answer.
  using Finish = std::function<void(Answer)>;
  using Work = std::function<void(Finish)>;

  explicit CallSequence(dispatch_queue_t queue) : queue_(std::move(queue)) {}

  // Runs `work` on the queue after the work of every call enqueued before.
  void enqueue(FlutterResult result, Work work);

 private:
  struct Call {
    FlutterResult result;
    Work work;
  };
  void startNext();
  void finished(FlutterResult result, Answer answer);

  dispatch_queue_t queue_;
  std::mutex mutex_;
  std::deque<Call> waiting_;
  bool running_ = false;
};

}  // namespace pdf_pages
