// Key-value observing: its options, change kinds and change-dictionary keys, which NSObject's
// observing uses too, and NSKeyValueObservable: an observable object that tells the observers
// registered for a key when the value under that key is about to change and when it has changed,
// with the values as they are (std::any). Key paths are matched as whole keys. Observers are not
// owned: one that has gone away is skipped and forgotten.
#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum NSKeyValueObservingOptions : uint64_t {
  NSKeyValueObservingOptionNew = 0x01,
  NSKeyValueObservingOptionOld = 0x02,
  NSKeyValueObservingOptionInitial = 0x04,
  NSKeyValueObservingOptionPrior = 0x08,
};

inline NSKeyValueObservingOptions operator|(NSKeyValueObservingOptions a,
                                            NSKeyValueObservingOptions b) {
  return static_cast<NSKeyValueObservingOptions>(static_cast<uint64_t>(a) |
                                                 static_cast<uint64_t>(b));
}

inline NSKeyValueObservingOptions& operator|=(NSKeyValueObservingOptions& a,
                                              NSKeyValueObservingOptions b) {
  return a = a | b;
}

enum NSKeyValueChange : int64_t {
  NSKeyValueChangeSetting = 1,
  NSKeyValueChangeInsertion = 2,
  NSKeyValueChangeRemoval = 3,
  NSKeyValueChangeReplacement = 4,
};

// The keys of the change dictionaries an object's observers get (see NSObject).
inline constexpr const char* NSKeyValueChangeKindKey = "kind";
inline constexpr const char* NSKeyValueChangeNewKey = "new";
inline constexpr const char* NSKeyValueChangeOldKey = "old";
inline constexpr const char* NSKeyValueChangeIndexesKey = "indexes";
inline constexpr const char* NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";

// What an observer hears: the kind of change, the values its options asked for (empty when
// not asked for or not known), and whether this is the notice before the change.
struct NSKeyValueChangeDictionary {
  NSKeyValueChange kind = NSKeyValueChangeSetting;
  std::any newValue;
  std::any oldValue;
  bool notificationIsPrior = false;
};

class NSKeyValueObservable;

class NSKeyValueObserving {
 public:
  virtual ~NSKeyValueObserving() = default;
  virtual void observeValueForKeyPath(const std::string& keyPath, NSKeyValueObservable& object,
                                      const NSKeyValueChangeDictionary& change, void* context) = 0;
};

// The base of observable objects. Subclasses answer valueForKey for the keys they offer and
// bracket every change with willChangeValueForKey / didChangeValueForKey.
class NSKeyValueObservable {
 public:
  virtual ~NSKeyValueObservable() = default;

  void addObserver(const std::shared_ptr<NSKeyValueObserving>& observer, const std::string& keyPath,
                   NSKeyValueObservingOptions options, void* context);
  // Removes the registration with that context (any context when `context` is null). Answers
  // whether there was one.
  bool removeObserver(const NSKeyValueObserving* observer, const std::string& keyPath,
                      void* context = nullptr);

  void willChangeValueForKey(const std::string& key);
  void didChangeValueForKey(const std::string& key);

  // The current value under `key`; empty for an unknown key.
  virtual std::any valueForKey(const std::string& key) const;

 private:
  struct Registration {
    std::weak_ptr<NSKeyValueObserving> observer;
    const NSKeyValueObserving* identity;
    std::string keyPath;
    NSKeyValueObservingOptions options;
    void* context;
  };
  std::vector<Registration> registrationsFor(const std::string& key);
  void notify(const Registration& registration, const NSKeyValueChangeDictionary& change);

  std::mutex mutex_;
  std::vector<Registration> registrations_;
  // The values before the changes under way, per key (changes may nest).
  std::map<std::string, std::vector<std::any>> old_values_;
};
