// The root of the object runtime: identity, weak references, associated objects and key-value
// observing with change dictionaries of AnyValue.
//
// An object's identity is a serial number given at creation and never reused: two references
// name the same object exactly when their serials are equal, even after one object has gone and
// another has taken its address. Objects are always owned by shared pointers and made with
// `makeObject`, which also records the object's own weak reference (observers are handed the
// observed object through it). Weak references are `std::weak_ptr`. The value classes (NSError,
// NSURL) may also be copied: a copy is a new object, with its own serial and no associations or
// observers, and assigning one keeps the target's identity.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/any_value.h"
#include "platform/foundation/ns_key_value_observing.h"

class NSObject {
 public:
  NSObject();
  virtual ~NSObject();

  uint64_t serial() const { return serial_; }
  // "<ClassName #serial>".
  virtual std::string description() const;
  // The shared pointer that owns this object; null for an object not made with makeObject.
  std::shared_ptr<NSObject> self() const { return weak_self_.lock(); }

  // Associated objects, retained by this object and released with it. Setting null removes the
  // association. Answers the value that was associated before, so that the caller decides where
  // it is released.
  std::shared_ptr<NSObject> setAssociatedObject(const void* key, std::shared_ptr<NSObject> value);
  std::shared_ptr<NSObject> associatedObject(const void* key) const;

  // Key-value observing. Observers are not retained; an observer that has gone is skipped.
  // Notifications are delivered synchronously on the thread that made the change.
  void addObserver(const std::shared_ptr<NSObject>& observer, const std::string& keyPath,
                   NSKeyValueObservingOptions options, void* context);
  // Removes the most recent matching registration; one that was never added is ignored.
  void removeObserver(const NSObject& observer, const std::string& keyPath);
  virtual void observeValueForKeyPath(const std::optional<std::string>& keyPath,
                                      const std::shared_ptr<NSObject>& object,
                                      const std::optional<AnyValue::Dictionary>& change,
                                      void* context);
  // The value of an observable property; nil for a key the object does not have.
  virtual AnyValue valueForKey(const std::string& key) const;

 protected:
  NSObject(const NSObject&) : NSObject() {}
  NSObject& operator=(const NSObject&) { return *this; }

  // Bracket every change of an observable property.
  void willChangeValueForKey(const std::string& key);
  void didChangeValueForKey(const std::string& key);

 private:
  template <typename T, typename... Args>
  friend std::shared_ptr<T> makeObject(Args&&... arguments);

  struct Observation {
    std::weak_ptr<NSObject> observer;
    uint64_t observerSerial;
    std::string keyPath;
    NSKeyValueObservingOptions options;
    void* context;
  };
  std::vector<Observation> observationsFor(const std::string& keyPath) const;
  void notify(const Observation& observation, AnyValue::Dictionary change);

  const uint64_t serial_;
  std::weak_ptr<NSObject> weak_self_;
  mutable std::mutex mutex_;
  std::map<const void*, std::shared_ptr<NSObject>> associated_;
  std::vector<Observation> observations_;
  std::map<std::string, AnyValue> values_before_change_;
};

// Makes an object owned by a shared pointer, as every object of the runtime is.
template <typename T, typename... Args>
std::shared_ptr<T> makeObject(Args&&... arguments) {
  auto object = std::make_shared<T>(std::forward<Args>(arguments)...);
  static_cast<NSObject&>(*object).weak_self_ = object;
  return object;
}

