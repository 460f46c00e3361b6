// The objects of one class alive in the process, so that the test controls can reach the players
// and items that the code under test made. T derives from std::enable_shared_from_this.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

template <typename T>
class AVCensus {
 public:
  static AVCensus& shared() {
    static auto* const census = new AVCensus();
    return *census;
  }

  void add(T* object) {
    std::lock_guard lock(mutex_);
    objects_.push_back(object);
  }
  void remove(T* object) {
    std::lock_guard lock(mutex_);
    std::erase(objects_, object);
  }
  // The live objects in the order they were made.
  std::vector<std::shared_ptr<T>> live() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<T>> held;
    for (T* object : objects_) {
      if (auto strong = std::static_pointer_cast<T>(object->weak_from_this().lock())) {
        held.push_back(std::move(strong));
      }
    }
    return held;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<T*> objects_;
};
