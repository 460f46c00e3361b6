// Key-value observing's options and the keys and kinds of its change dictionaries.
#pragma once

#include <cstdint>

namespace foundation {

using NSKeyValueObservingOptions = uint64_t;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionNew = 0x01;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionOld = 0x02;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionInitial = 0x04;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionPrior = 0x08;

enum NSKeyValueChange : int64_t {
  NSKeyValueChangeSetting = 1,
  NSKeyValueChangeInsertion = 2,
  NSKeyValueChangeRemoval = 3,
  NSKeyValueChangeReplacement = 4,
};

inline constexpr const char* NSKeyValueChangeKindKey = "kind";
inline constexpr const char* NSKeyValueChangeNewKey = "new";
inline constexpr const char* NSKeyValueChangeOldKey = "old";
inline constexpr const char* NSKeyValueChangeIndexesKey = "indexes";
inline constexpr const char* NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";

}  // namespace foundation
