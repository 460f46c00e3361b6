#include "platform/dispatch/dispatch_queue.h"

#include <condition_variable>
#include <deque>
#include <future>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/thread_pool.h"
#include "platform/dispatch/timer_thread.h"

namespace {

thread_local DispatchQueue* current_queue = nullptr;

int priorityOf(long identifier) {
  switch (identifier) {
    case DISPATCH_QUEUE_PRIORITY_HIGH:
    case QOS_CLASS_USER_INTERACTIVE:
    case QOS_CLASS_USER_INITIATED:
      return 2;
    case DISPATCH_QUEUE_PRIORITY_LOW:
    case QOS_CLASS_UTILITY:
      return -1;
    case DISPATCH_QUEUE_PRIORITY_BACKGROUND:
    case QOS_CLASS_BACKGROUND:
      return -2;
    default:
      return 0;
  }
}

// Runs every block as soon as a pool thread is free, many at once.
class GlobalQueue final : public DispatchQueue {
 public:
  GlobalQueue(std::string label, int priority)
      : DispatchQueue(std::move(label)), priority_(priority) {}

  void async(dispatch_block_t block) override {
    auto self = std::static_pointer_cast<GlobalQueue>(shared_from_this());
    dispatch::ThreadPool::shared().submit(
        priority_, [self, block = std::move(block)] { self->runBlock(block); });
  }

  void sync(const dispatch_block_t& block) override { runAsCurrent(block); }

 private:
  void runBlock(const dispatch_block_t& block) { runAsCurrent(block); }
  int priority_;
};

// Runs one block at a time, in order. Async blocks borrow a pool thread while the queue has
// work. A sync caller waits for the blocks before it and then runs its block on its own thread,
// as the platform does; when no pool thread is running the queue it runs those blocks itself, so
// it never waits for the pool (which long work elsewhere may have taken whole).
class SerialQueue final : public DispatchQueue {
 public:
  SerialQueue(std::string label, int priority)
      : DispatchQueue(std::move(label)), priority_(priority) {}

  void async(dispatch_block_t block) override {
    std::lock_guard lock(mutex_);
    entries_.push_back(Entry{std::move(block), nullptr});
    scheduleDrainLocked();
  }

  void sync(const dispatch_block_t& block) override {
    if (runsOnThisThread()) {
      runAsCurrent(block);
      return;
    }
    std::unique_lock lock(mutex_);
    auto turn = std::make_shared<Turn>();
    entries_.push_back(Entry{nullptr, turn});
    while (!turn->handed) {
      if (!owned_) {
        owned_ = true;
        if (runOwned(lock, turn.get())) break;
        continue;
      }
      turn_changed_.wait(lock);
    }
    lock.unlock();
    runAsCurrent(block);
    lock.lock();
    letGoAfterSync();
  }

 private:
  // A sync caller's place in line; set when the queue is handed to it.
  struct Turn {
    bool handed = false;
  };
  // An async block, or the place of a waiting sync caller.
  struct Entry {
    dispatch_block_t block;
    std::shared_ptr<Turn> turn;
  };

  bool runsOnThisThread() const { return DispatchQueue::current() == this; }

  void scheduleDrainLocked() {
    if (owned_ || drain_scheduled_) return;
    drain_scheduled_ = true;
    auto self = std::static_pointer_cast<SerialQueue>(shared_from_this());
    dispatch::ThreadPool::shared().submit(priority_, [self] { self->drain(); });
  }

  void drain() {
    std::unique_lock lock(mutex_);
    drain_scheduled_ = false;
    // A sync caller took the queue over; it schedules a drain again when it lets go.
    if (owned_) return;
    owned_ = true;
    runOwned(lock, nullptr);
  }

  // Runs blocks from the front while this thread owns the queue. Answers true when `mine` comes
  // to the front (the queue is still owned); false when the queue ran empty (and was let go) or
  // was handed to a sync caller waiting before `mine`.
  bool runOwned(std::unique_lock<std::mutex>& lock, const Turn* mine) {
    for (;;) {
      if (entries_.empty()) {
        owned_ = false;
        return false;
      }
      Entry entry = std::move(entries_.front());
      entries_.pop_front();
      if (entry.turn) {
        if (entry.turn.get() == mine) return true;
        entry.turn->handed = true;
        turn_changed_.notify_all();
        return false;
      }
      lock.unlock();
      runAsCurrent(entry.block);
      entry.block = nullptr;  // release its captures outside the lock
      lock.lock();
    }
  }

  // After a sync caller's block: the next sync caller in line gets the queue; async blocks go to
  // the pool, and any sync caller behind them may run them first.
  void letGoAfterSync() {
    if (!entries_.empty() && entries_.front().turn) {
      entries_.front().turn->handed = true;
      entries_.pop_front();
      turn_changed_.notify_all();
      return;
    }
    owned_ = false;
    if (entries_.empty()) return;
    scheduleDrainLocked();
    turn_changed_.notify_all();
  }

  int priority_;
  std::mutex mutex_;
  std::condition_variable turn_changed_;
  std::deque<Entry> entries_;
  bool owned_ = false;  // a thread is running this queue's blocks
  bool drain_scheduled_ = false;
};

}  // namespace

void DispatchQueue::setSpecific(const void* key, void* context) {
  std::lock_guard lock(specific_mutex_);
  if (context == nullptr) {
    specifics_.erase(key);
  } else {
    specifics_[key] = context;
  }
}

void* DispatchQueue::specific(const void* key) const {
  std::lock_guard lock(specific_mutex_);
  auto found = specifics_.find(key);
  return found == specifics_.end() ? nullptr : found->second;
}

DispatchQueue* DispatchQueue::current() { return current_queue; }

void DispatchQueue::runAsCurrent(const dispatch_block_t& block) {
  DispatchQueue* previous = current_queue;
  current_queue = this;
  block();
  current_queue = previous;
}

void DispatchQueue::enqueueAndWait(const dispatch_block_t& block) {
  std::promise<void> done;
  auto finished = done.get_future();
  async([&] {
    block();
    done.set_value();
  });
  finished.wait();
}

dispatch_queue_t dispatch_get_main_queue() { return dispatch::MainQueue::shared(); }

dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long /*flags*/) {
  // One queue object per priority, alive for the whole process.
  static auto* const queues = new std::map<int, dispatch_queue_t>();
  static std::mutex mutex;
  int priority = priorityOf(identifier);
  std::lock_guard lock(mutex);
  auto& queue = (*queues)[priority];
  if (!queue) {
    queue = std::make_shared<GlobalQueue>("com.apple.root.priority-" + std::to_string(priority),
                                          priority);
  }
  return queue;
}

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr) {
  std::string name = label != nullptr ? label : "";
  if (attr == DISPATCH_QUEUE_CONCURRENT) return std::make_shared<GlobalQueue>(name, 0);
  return std::make_shared<SerialQueue>(name, 0);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue) {
  return queue ? queue->label().c_str() : "";
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) {
  if (queue && block) queue->async(std::move(block));
}

void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block) {
  if (queue && block) queue->sync(block);
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block) {
  if (!queue || !block) return;
  if (when == DISPATCH_TIME_FOREVER) return;
  dispatch::TimerThread::shared().schedule(
      dispatch::toTimePoint(when),
      [queue, block = std::move(block)]() mutable { queue->async(std::move(block)); });
}

void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context) {
  if (queue) queue->setSpecific(key, context);
}

void* dispatch_get_specific(const void* key) {
  DispatchQueue* queue = DispatchQueue::current();
  return queue != nullptr ? queue->specific(key) : nullptr;
}

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block) {
  std::call_once(*predicate, block);
}

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) {
  if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
  int64_t base = when == DISPATCH_TIME_NOW
                     ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                           dispatch::Clock::now().time_since_epoch())
                           .count()
                     : static_cast<int64_t>(when);
  int64_t result = base + delta;
  return result <= 0 ? 1 : static_cast<dispatch_time_t>(result);
}

namespace dispatch {
Clock::time_point toTimePoint(dispatch_time_t when) {
  if (when == DISPATCH_TIME_NOW) return Clock::now();
  return Clock::time_point(std::chrono::nanoseconds(static_cast<int64_t>(when)));
}
}  // namespace dispatch
