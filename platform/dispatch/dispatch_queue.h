// Dispatch queues. The main queue runs on the main thread whenever its run loop pumps it; global
// queues run blocks concurrently on a shared thread pool; serial queues run one block at a time,
// in order, their async blocks on that pool and their sync blocks on the caller's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/dispatch_time.h"

using dispatch_block_t = std::function<void()>;

class DispatchQueue;
using dispatch_queue_t = std::shared_ptr<DispatchQueue>;

// Queue priorities (the identifier of dispatch_get_global_queue).
inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

// Quality-of-service classes, accepted wherever a priority is.
enum qos_class_t : long {
  QOS_CLASS_USER_INTERACTIVE = 0x21,
  QOS_CLASS_USER_INITIATED = 0x19,
  QOS_CLASS_DEFAULT = 0x15,
  QOS_CLASS_UTILITY = 0x11,
  QOS_CLASS_BACKGROUND = 0x09,
};

enum class dispatch_queue_attr_t { serial, concurrent };
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = dispatch_queue_attr_t::serial;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = dispatch_queue_attr_t::concurrent;

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
 public:
  virtual ~DispatchQueue() = default;
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  const std::string& label() const { return label_; }

  virtual void async(dispatch_block_t block) = 0;
  // Runs the block on this queue and waits for it. On a serial queue the block runs on the
  // caller's thread once the blocks before it have run, so it never needs a pool thread.
  // Re-entering a serial queue from one of its own blocks runs the block inline instead of
  // deadlocking.
  virtual void sync(const dispatch_block_t& block) = 0;

  void setSpecific(const void* key, void* context);
  void* specific(const void* key) const;

  // The queue whose block is running on this thread, if any.
  static DispatchQueue* current();

 protected:
  explicit DispatchQueue(std::string label) : label_(std::move(label)) {}
  // Runs `block` with this queue as the current one on the calling thread.
  void runAsCurrent(const dispatch_block_t& block);
  // Enqueues `block` and waits until it has run: sync from a thread that is not the queue's.
  void enqueueAndWait(const dispatch_block_t& block);

 private:
  std::string label_;
  mutable std::mutex specific_mutex_;
  std::map<const void*, void*> specifics_;
};

dispatch_queue_t dispatch_get_main_queue();
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);
const char* dispatch_queue_get_label(const dispatch_queue_t& queue);

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);

// The context is not owned: the caller keeps it alive as long as the queue may be asked for it.
void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context);
// The context for `key` of the queue running the current block, or nullptr.
void* dispatch_get_specific(const void* key);

using dispatch_once_t = std::once_flag;
void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block);

namespace dispatch {

bool isMainThread();

// For the owner of the main thread's run loop: runs main-queue blocks and due timers until
// `done` answers true. Blocks run on the calling thread, which must be the main thread.
void runMainQueueUntil(const std::function<bool()>& done);
// Wakes a thread waiting in runMainQueueUntil so that it checks `done` again.
void wakeMainQueue();

}  // namespace dispatch
