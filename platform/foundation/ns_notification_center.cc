#include "platform/foundation/ns_notification_center.h"

#include <algorithm>

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
  static auto* const center = new std::shared_ptr<NSNotificationCenter>(
      std::make_shared<NSNotificationCenter>());
  return *center;
}

NSNotificationObserverToken NSNotificationCenter::addObserverForName(const NSNotificationName& name,
                                                                     const void* object,
                                                                     dispatch_queue_t queue,
                                                                     Block block) {
  auto token =
      std::make_shared<NSNotificationObserver>(name, object, std::move(queue), std::move(block));
  std::lock_guard lock(mutex_);
  observers_.push_back(token);
  return token;
}

void NSNotificationCenter::removeObserver(const NSNotificationObserverToken& token) {
  if (!token) return;
  std::lock_guard lock(mutex_);
  token->removed_ = true;
  std::erase(observers_, token);
}

void NSNotificationCenter::postNotification(const NSNotification& notification) {
  std::vector<NSNotificationObserverToken> matching;
  {
    std::lock_guard lock(mutex_);
    for (const auto& observer : observers_) {
      bool name_matches = observer->name_.empty() || observer->name_ == notification.name;
      bool object_matches =
          observer->object_ == nullptr || observer->object_ == notification.object.get();
      if (name_matches && object_matches) matching.push_back(observer);
    }
  }
  for (const auto& observer : matching) {
    if (observer->queue_) {
      dispatch_async(observer->queue_, [observer, notification] {
        if (!observer->removed_) observer->block_(notification);
      });
    } else {
      if (!observer->removed_) observer->block_(notification);
    }
  }
}

void NSNotificationCenter::postNotificationName(const NSNotificationName& name,
                                               std::shared_ptr<void> object,
                                               std::map<std::string, std::any> userInfo) {
  postNotification(NSNotification{name, std::move(object), std::move(userInfo)});
}
