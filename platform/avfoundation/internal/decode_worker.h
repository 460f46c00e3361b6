// The thread on which a media decoder follows its item, and the rule by which it follows: what the
// video feed and the audio sink share. The worker runs its body once; the body rests between steps
// (a short, bounded wait that wake() or the worker's end cuts short) and returns once rest()
// answers false. Destroying the worker stops it and waits for its thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace avfoundation::internal {

class DecodeWorker {
 public:
  // Declare the worker after everything its body uses: the thread starts here.
  explicit DecodeWorker(std::function<void()> body);
  ~DecodeWorker();
  DecodeWorker(const DecodeWorker&) = delete;
  DecodeWorker& operator=(const DecodeWorker&) = delete;

  // Something changed (a frame was handed out, the time moved): the body looks again now.
  void wake();
  // Waits at most a few milliseconds unless woken or stopped; false once stopped.
  bool rest();
  bool stopped();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
  bool woken_ = false;
  std::thread thread_;
};

// Whether the item's time jumped so far that decoding must seek instead of decoding through: back
// by more than 50 ms, or more than a second past what was decoded.
class ItemTimeJumps {
 public:
  // `decodedUntil`: the item time decoding has reached; nullopt when nothing was decoded since
  // the last seek.
  bool jumped(double itemTime, std::optional<double> decodedUntil);

 private:
  double previous_ = 0;
};

}  // namespace avfoundation::internal
