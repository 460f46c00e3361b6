// Objects the Dart side names by id, each kept under its id until it is removed. Lookups answer
// null for an id nothing is kept under; iteration is read-only, so every change goes through
// add and remove.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <utility>

namespace webrtc_host {

template <typename Id, typename Object>
class Registry {
 public:
  using Entries = std::map<Id, std::shared_ptr<Object>>;

  // Replaces whatever was kept under the id.
  void add(const Id& id, std::shared_ptr<Object> object) { entries_[id] = std::move(object); }

  std::shared_ptr<Object> find(const Id& id) const {
    auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : found->second;
  }
  bool contains(const Id& id) const { return entries_.count(id) != 0; }

  // The object that was kept under the id, or null.
  std::shared_ptr<Object> remove(const Id& id) {
    auto found = entries_.find(id);
    if (found == entries_.end()) return nullptr;
    auto object = std::move(found->second);
    entries_.erase(found);
    return object;
  }
  // Removes every entry that keeps `object`.
  void removeObject(const Object* object) {
    std::erase_if(entries_, [object](const auto& entry) { return entry.second.get() == object; });
  }
  // Everything kept, leaving the registry empty.
  Entries takeAll() { return std::exchange(entries_, {}); }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  typename Entries::const_iterator begin() const { return entries_.begin(); }
  typename Entries::const_iterator end() const { return entries_.end(); }

 private:
  Entries entries_;
};

}  // namespace webrtc_host
