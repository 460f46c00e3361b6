// The ids a plug-in handed out in its answers, and those the fuzzer chose for objects it asked a
// plug-in to create, so that later calls name live (and then disposed) objects rather than ids
// nobody ever made. Kept per plug-in, the most recent first, a few per key.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tools/channel_fuzzer/answer_reader.h"

namespace channel_fuzzer {

class LiveValues {
 public:
  void remember(const std::string& key, const IdValue& value);
  void rememberAll(const std::vector<KeyedValue>& values);

  // A value kept under `key`, or (less often) under any key; the most recent are likelier. With
  // `textOnly`, only strings.
  std::optional<IdValue> pick(const std::string& key, std::mt19937_64& random,
                              bool textOnly = false) const;
  // The newest value of a key chosen at random: every kind of object alike, however many of
  // one kind were made lately. With `integersOnly`, only integers; only keys that begin with
  // `keyPrefix`.
  std::optional<IdValue> pickOfAnyKey(std::mt19937_64& random, bool integersOnly,
                                      const std::string& keyPrefix = "") const;
  // A value kept under `key` itself; none when there is none.
  std::optional<IdValue> pickExact(const std::string& key, std::mt19937_64& random) const;
  bool has(const std::string& key) const { return by_key_.count(key) != 0; }
  // Every value kept, each once.
  std::vector<IdValue> all() const;
  // Forgets the object `identifier` names (as an integer or a reference): it is gone.
  void forget(int64_t identifier);
  void clear() {
    by_key_.clear();
    recent_.clear();
  }
  bool empty() const { return recent_.empty(); }

 private:
  static constexpr size_t kPerKey = 8;
  static constexpr size_t kRecent = 32;

  std::map<std::string, std::deque<IdValue>> by_key_;
  std::deque<IdValue> recent_;
};

}  // namespace channel_fuzzer
