// Notification centres: observers register for a name (and optionally a sender) and hear every
// matching post, on the posting thread or on the queue they named.
#pragma once

#include <any>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/dispatch_queue.h"

using NSNotificationName = std::string;

struct NSNotification {
  NSNotificationName name;
  std::shared_ptr<void> object;
  std::map<std::string, std::any> userInfo;
};

class NSNotificationObserver;
using NSNotificationObserverToken = std::shared_ptr<NSNotificationObserver>;

class NSNotificationCenter {
 public:
  using Block = std::function<void(const NSNotification&)>;

  static std::shared_ptr<NSNotificationCenter> defaultCenter();

  // An empty name hears every name; a null object hears every sender; a null queue runs the block
  // synchronously on the posting thread. The block runs until the token is removed.
  NSNotificationObserverToken addObserverForName(const NSNotificationName& name, const void* object,
                                                 dispatch_queue_t queue, Block block);
  void removeObserver(const NSNotificationObserverToken& token);

  void postNotification(const NSNotification& notification);
  void postNotificationName(const NSNotificationName& name, std::shared_ptr<void> object = nullptr,
                            std::map<std::string, std::any> userInfo = {});

 private:
  std::mutex mutex_;
  std::vector<NSNotificationObserverToken> observers_;
};

class NSNotificationObserver {
 public:
  NSNotificationObserver(NSNotificationName name, const void* object, dispatch_queue_t queue,
                         NSNotificationCenter::Block block)
      : name_(std::move(name)), object_(object), queue_(std::move(queue)), block_(std::move(block)) {}

 private:
  friend class NSNotificationCenter;
  NSNotificationName name_;
  const void* object_;
  dispatch_queue_t queue_;
  NSNotificationCenter::Block block_;
  std::atomic<bool> removed_{false};
};
