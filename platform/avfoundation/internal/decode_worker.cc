#include "platform/avfoundation/internal/decode_worker.h"

#include <chrono>

namespace avfoundation::internal {
namespace {

// How long a worker rests when it has nothing to do, at most.
constexpr auto kRestAtMost = std::chrono::milliseconds(5);
constexpr double kBackwardJumpSeconds = 0.05;
constexpr double kForwardJumpSeconds = 1.0;

}  // namespace

DecodeWorker::DecodeWorker(std::function<void()> body) : thread_(std::move(body)) {}

DecodeWorker::~DecodeWorker() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void DecodeWorker::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

bool DecodeWorker::rest() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kRestAtMost, [this] { return stopped_ || woken_; });
  woken_ = false;
  return !stopped_;
}

bool DecodeWorker::stopped() {
  std::lock_guard lock(mutex_);
  return stopped_;
}

bool ItemTimeJumps::jumped(double itemTime, std::optional<double> decodedUntil) {
  bool back = itemTime < previous_ - kBackwardJumpSeconds;
  bool ahead = decodedUntil && itemTime > *decodedUntil + kForwardJumpSeconds;
  previous_ = itemTime;
  return back || ahead;
}

}  // namespace avfoundation::internal
