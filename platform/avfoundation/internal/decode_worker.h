// How a media decoder runs: in steps, on a serial queue of its own, borrowing a pool thread only
// while a step runs. A step runs when woken (now, or at a host time while the item plays), never
// two at once, and never once cancelled; between steps the decoder holds no thread and uses no
// CPU. Cancelling also stops the reads of the decoder's file at once (the cancel flag is FFmpeg's
// interrupt), so a step in progress ends soon; what the decoder holds is let go on its queue,
// never on the thread that cancels.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/avfoundation/internal/media_file.h"
#include "platform/dispatch/dispatch_queue.h"

namespace avfoundation::internal {

class DecodeWorker : public std::enable_shared_from_this<DecodeWorker> {
 public:
  virtual ~DecodeWorker() = default;
  DecodeWorker(const DecodeWorker&) = delete;
  DecodeWorker& operator=(const DecodeWorker&) = delete;

  // A step soon. Wakes that come while one is pending make no more steps.
  void wake();
  // A step at the host time (CACurrentMediaTime's scale), unless an earlier one is due.
  void wakeAt(double hostTime);
  // No step starts any more, and the decoder's reads fail at once.
  void cancel();
  bool cancelled() const { return cancelled_->load(std::memory_order_acquire); }
  // Cancels the worker and lets go of `worker` on its own queue: its last reference, and with it
  // the decoder, goes there rather than on the caller's thread.
  static void retire(std::shared_ptr<DecodeWorker> worker);

 protected:
  explicit DecodeWorker(const char* label);
  // Runs on the worker's queue.
  virtual void step() = 0;
  CancelFlag cancelFlag() const { return cancelled_; }

 private:
  void timerFired(uint64_t generation);

  const dispatch_queue_t queue_;
  const std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
  std::atomic<bool> step_pending_{false};
  std::mutex timer_mutex_;
  std::optional<double> timer_due_;
  uint64_t timer_generation_ = 0;
};

}  // namespace avfoundation::internal
