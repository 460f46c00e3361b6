#include "platform/foundation/ns_key_value_observing.h"

#include <algorithm>

namespace {

bool has(NSKeyValueObservingOptions options, NSKeyValueObservingOptions option) {
  return (static_cast<uint64_t>(options) & static_cast<uint64_t>(option)) != 0;
}

}  // namespace

std::any NSKeyValueObservable::valueForKey(const std::string& /*key*/) const { return {}; }

void NSKeyValueObservable::addObserver(const std::shared_ptr<NSKeyValueObserving>& observer,
                                       const std::string& keyPath,
                                       NSKeyValueObservingOptions options, void* context) {
  if (!observer) return;
  Registration registration{observer, observer.get(), keyPath, options, context};
  {
    std::lock_guard lock(mutex_);
    registrations_.push_back(registration);
  }
  if (has(options, NSKeyValueObservingOptionInitial)) {
    NSKeyValueChangeDictionary change;
    if (has(options, NSKeyValueObservingOptionNew)) change.newValue = valueForKey(keyPath);
    notify(registration, change);
  }
}

bool NSKeyValueObservable::removeObserver(const NSKeyValueObserving* observer,
                                          const std::string& keyPath, void* context) {
  std::lock_guard lock(mutex_);
  // The most recent matching registration goes, as the platform removes them.
  for (auto it = registrations_.rbegin(); it != registrations_.rend(); ++it) {
    if (it->identity == observer && it->keyPath == keyPath &&
        (context == nullptr || it->context == context)) {
      registrations_.erase(std::next(it).base());
      return true;
    }
  }
  return false;
}

std::vector<NSKeyValueObservable::Registration> NSKeyValueObservable::registrationsFor(
    const std::string& key) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [](const Registration& r) { return r.observer.expired(); });
  std::vector<Registration> matching;
  for (const auto& registration : registrations_) {
    if (registration.keyPath == key) matching.push_back(registration);
  }
  return matching;
}

void NSKeyValueObservable::notify(const Registration& registration,
                                  const NSKeyValueChangeDictionary& change) {
  if (auto observer = registration.observer.lock()) {
    observer->observeValueForKeyPath(registration.keyPath, *this, change, registration.context);
  }
}

void NSKeyValueObservable::willChangeValueForKey(const std::string& key) {
  std::any old_value = valueForKey(key);
  {
    std::lock_guard lock(mutex_);
    old_values_[key].push_back(old_value);
  }
  for (const auto& registration : registrationsFor(key)) {
    if (!has(registration.options, NSKeyValueObservingOptionPrior)) continue;
    NSKeyValueChangeDictionary change;
    change.notificationIsPrior = true;
    if (has(registration.options, NSKeyValueObservingOptionOld)) change.oldValue = old_value;
    notify(registration, change);
  }
}

void NSKeyValueObservable::didChangeValueForKey(const std::string& key) {
  std::any old_value;
  {
    std::lock_guard lock(mutex_);
    auto found = old_values_.find(key);
    if (found != old_values_.end() && !found->second.empty()) {
      old_value = std::move(found->second.back());
      found->second.pop_back();
      if (found->second.empty()) old_values_.erase(found);
    }
  }
  std::any new_value = valueForKey(key);
  for (const auto& registration : registrationsFor(key)) {
    NSKeyValueChangeDictionary change;
    if (has(registration.options, NSKeyValueObservingOptionNew)) change.newValue = new_value;
    if (has(registration.options, NSKeyValueObservingOptionOld)) change.oldValue = old_value;
    notify(registration, change);
  }
}
