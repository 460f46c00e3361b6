#include "platform/dispatch/dispatch_queue.h"

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

// Runs one block at a time, in order, borrowing a pool thread while it has work.
class SerialQueue final : public DispatchQueue {
 public:
  SerialQueue(std::string label, int priority)
      : DispatchQueue(std::move(label)), priority_(priority) {}

  void async(dispatch_block_t block) override {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
    if (!draining_) {
      draining_ = true;
      auto self = std::static_pointer_cast<SerialQueue>(shared_from_this());
      dispatch::ThreadPool::shared().submit(priority_, [self] { self->drain(); });
    }
  }

  void sync(const dispatch_block_t& block) override {
    if (runsOnThisThread()) {
      runAsCurrent(block);
      return;
    }
    enqueueAndWait(block);
  }

 private:
  bool runsOnThisThread() const { return DispatchQueue::current() == this; }

  void drain() {
    for (;;) {
      dispatch_block_t block;
      {
        std::lock_guard lock(mutex_);
        if (blocks_.empty()) {
          draining_ = false;
          return;
        }
        block = std::move(blocks_.front());
        blocks_.pop_front();
      }
      runAsCurrent(block);
    }
  }

  int priority_;
  std::mutex mutex_;
  std::deque<dispatch_block_t> blocks_;
  bool draining_ = false;
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
