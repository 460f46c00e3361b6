#include "plugins/pdf_pages/call_sequence.h"

#include <memory>

namespace pdf_pages {

void CallSequence::enqueue(FlutterResult result, Work work) {
  std::lock_guard lock(mutex_);
  waiting_.push_back(Call{std::move(result), std::move(work)});
  if (running_) return;
  running_ = true;
  dispatch_async(queue_, [self = shared_from_this()] { self->startNext(); });
}

void CallSequence::startNext() {
  Call call;
  {
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) {
      running_ = false;
      return;
    }
    call = std::move(waiting_.front());
    waiting_.pop_front();
  }
  // Whoever finishes the work first (it must be once) answers and starts the next call.
  auto once = std::make_shared<std::once_flag>();
  call.work(
      [self = shared_from_this(), once, result = std::move(call.result)](Answer answer) mutable {
        std::call_once(*once, [&] { self->finished(std::move(result), std::move(answer)); });
      });
}

void CallSequence::finished(FlutterResult result, Answer answer) {
  // Answered here: only the encoded bytes hop to the main thread.
  std::visit([&](auto& outcome) { result(std::move(outcome)); }, answer);
  dispatch_async(queue_, [self = shared_from_this()] { self->startNext(); });
}

}  // namespace pdf_pages
