// The objects of one class alive in the process, so that the test controls can reach the players
// and items that the code under test made. T derives from std::enable_shared_from_this.
//
// The census keeps addresses disguised (bit-flipped), never plain pointers: the leak checker
// treats any word that looks like a pointer as a reference, and a census of plain pointers would
// make every leaked player or item look reachable.
#pragma once

#include <algorithm>
#include <cstdint>
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
    objects_.push_back(disguise(object));
  }
  void remove(T* object) {
    std::lock_guard lock(mutex_);
    std::erase(objects_, disguise(object));
  }
  // The live objects in the order they were made.
  std::vector<std::shared_ptr<T>> live() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<T>> held;
    for (uintptr_t disguised : objects_) {
      T* object = reveal(disguised);
      if (auto strong = std::static_pointer_cast<T>(object->weak_from_this().lock())) {
        held.push_back(std::move(strong));
      }
    }
    return held;
  }

 private:
  static uintptr_t disguise(T* object) { return ~reinterpret_cast<uintptr_t>(object); }
  static T* reveal(uintptr_t disguised) { return reinterpret_cast<T*>(~disguised); }

  mutable std::mutex mutex_;
  std::vector<uintptr_t> objects_;
};
