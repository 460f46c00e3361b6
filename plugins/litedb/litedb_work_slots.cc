#include "plugins/litedb/litedb_work_slots.h"

namespace litedb {

LiteDbWorkSlots& LiteDbWorkSlots::shared() {
  // Never destroyed: work queues may still hand slots back while the process exits.
  static auto* const slots = new LiteDbWorkSlots();
  return *slots;
}

void LiteDbWorkSlots::request(std::function<void()> start) {
  {
    std::lock_guard lock(mutex_);
    if (free_ == 0) {
      waiting_.push_back(std::move(start));
      return;
    }
    --free_;
  }
  start();
}

void LiteDbWorkSlots::release() {
  std::function<void()> next;
  {
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) {
      ++free_;
      return;
    }
    next = std::move(waiting_.front());
    waiting_.pop_front();
  }
  next();
}

bool LiteDbWorkSlots::othersWaiting() const {
  std::lock_guard lock(mutex_);
  return !waiting_.empty();
}

}  // namespace litedb
