#include "platform/foundation/ns_object.h"

#include <cxxabi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <typeinfo>

#include "platform/foundation/object_census.h"

namespace {

std::atomic<uint64_t> next_serial{1};

std::string unqualifiedTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

AnyValue orNull(AnyValue value) { return value.isNil() ? AnyValue(NSNull{}) : value; }

}  // namespace

NSObject::NSObject() : serial_(next_serial.fetch_add(1)) { foundation::census::objectMade(); }

NSObject::~NSObject() {
  // Associated objects go with the object, after everything else it held.
  std::map<const void*, std::shared_ptr<NSObject>> associated;
  {
    std::lock_guard lock(mutex_);
    associated.swap(associated_);
  }
  associated.clear();
  foundation::census::objectReleased();
}

std::string NSObject::description() const {
  return "<" + unqualifiedTypeName(typeid(*this)) + " #" + std::to_string(serial_) + ">";
}

std::shared_ptr<NSObject> NSObject::setAssociatedObject(const void* key,
                                                        std::shared_ptr<NSObject> value) {
  std::lock_guard lock(mutex_);
  auto found = associated_.find(key);
  std::shared_ptr<NSObject> previous = found != associated_.end() ? found->second : nullptr;
  if (value) {
    associated_[key] = std::move(value);
  } else if (found != associated_.end()) {
    associated_.erase(found);
  }
  return previous;
}

std::shared_ptr<NSObject> NSObject::associatedObject(const void* key) const {
  std::lock_guard lock(mutex_);
  auto found = associated_.find(key);
  return found != associated_.end() ? found->second : nullptr;
}

void NSObject::addObserver(const std::shared_ptr<NSObject>& observer, const std::string& keyPath,
                           NSKeyValueObservingOptions options, void* context) {
  if (!observer) return;
  Observation observation{observer, observer->serial(), keyPath, options, context};
  {
    std::lock_guard lock(mutex_);
    observations_.push_back(observation);
  }
  if ((options & NSKeyValueObservingOptionInitial) != 0) {
    AnyValue::Dictionary change{{NSKeyValueChangeKindKey, int64_t{NSKeyValueChangeSetting}}};
    if ((options & NSKeyValueObservingOptionNew) != 0) {
      change.emplace_back(NSKeyValueChangeNewKey, orNull(valueForKey(keyPath)));
    }
    notify(observation, std::move(change));
  }
}

void NSObject::removeObserver(const NSObject& observer, const std::string& keyPath) {
  std::lock_guard lock(mutex_);
  auto match = std::find_if(observations_.rbegin(), observations_.rend(), [&](const auto& entry) {
    return entry.observerSerial == observer.serial() && entry.keyPath == keyPath;
  });
  if (match != observations_.rend()) observations_.erase(std::next(match).base());
}

void NSObject::observeValueForKeyPath(const std::optional<std::string>& /*keyPath*/,
                                      const std::shared_ptr<NSObject>& /*object*/,
                                      const std::optional<AnyValue::Dictionary>& /*change*/,
                                      void* /*context*/) {}

AnyValue NSObject::valueForKey(const std::string& /*key*/) const { return AnyValue(); }

void NSObject::willChangeValueForKey(const std::string& key) {
  auto observations = observationsFor(key);
  if (observations.empty()) return;
  AnyValue before = orNull(valueForKey(key));
  {
    std::lock_guard lock(mutex_);
    values_before_change_[key] = before;
  }
  for (const auto& observation : observations) {
    if ((observation.options & NSKeyValueObservingOptionPrior) == 0) continue;
    AnyValue::Dictionary change{{NSKeyValueChangeKindKey, int64_t{NSKeyValueChangeSetting}},
                                {NSKeyValueChangeNotificationIsPriorKey, true}};
    if ((observation.options & NSKeyValueObservingOptionOld) != 0) {
      change.emplace_back(NSKeyValueChangeOldKey, before);
    }
    notify(observation, std::move(change));
  }
}

void NSObject::didChangeValueForKey(const std::string& key) {
  AnyValue before;
  {
    std::lock_guard lock(mutex_);
    auto found = values_before_change_.find(key);
    if (found != values_before_change_.end()) {
      before = std::move(found->second);
      values_before_change_.erase(found);
    }
  }
  auto observations = observationsFor(key);
  if (observations.empty()) return;
  AnyValue after = orNull(valueForKey(key));
  for (const auto& observation : observations) {
    AnyValue::Dictionary change{{NSKeyValueChangeKindKey, int64_t{NSKeyValueChangeSetting}}};
    if ((observation.options & NSKeyValueObservingOptionNew) != 0) {
      change.emplace_back(NSKeyValueChangeNewKey, after);
    }
    if ((observation.options & NSKeyValueObservingOptionOld) != 0) {
      change.emplace_back(NSKeyValueChangeOldKey, orNull(before));
    }
    notify(observation, std::move(change));
  }
}

std::vector<NSObject::Observation> NSObject::observationsFor(const std::string& keyPath) const {
  std::lock_guard lock(mutex_);
  std::vector<Observation> matching;
  for (const auto& observation : observations_) {
    if (observation.keyPath == keyPath) matching.push_back(observation);
  }
  return matching;
}

void NSObject::notify(const Observation& observation, AnyValue::Dictionary change) {
  auto observer = observation.observer.lock();
  if (!observer) return;
  observer->observeValueForKeyPath(observation.keyPath, self(), change, observation.context);
}

