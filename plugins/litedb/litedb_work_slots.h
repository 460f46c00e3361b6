// How many databases of the process run work at once. A statement that runs or waits for long
// holds a thread of the dispatch pool, which the whole host shares: without a bound, enough such
// databases would take every thread and stop every other queue. A database asks for a slot before
// its work runs, waits its turn in arrival order when none is free, and keeps its slot while no
// other database waits. Work past the bound is answered later, never dropped.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace litedb {

class LiteDbWorkSlots {
 public:
  // Half the pool's threads at most, so that the rest of the host always has the other half.
  static constexpr int kSlots = 32;

  static LiteDbWorkSlots& shared();

  // Calls `start` once a slot is the caller's: at once (on this thread) or when another database
  // lets one go (on that database's thread). `start` must not block.
  void request(std::function<void()> start);
  // Gives the caller's slot to the database that has waited longest, or frees it.
  void release();
  bool othersWaiting() const;

 private:
  LiteDbWorkSlots() = default;

  mutable std::mutex mutex_;
  int free_ = kSlots;
  std::deque<std::function<void()>> waiting_;
};

}  // namespace litedb
