// Metadata items: timed metadata as an item's metadata outputs deliver it, and the descriptive
// metadata of assets and media options.
#pragma once

#include <any>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/cm_time_range.h"

inline constexpr const char* AVMetadataKeySpaceCommon = "comn";
inline constexpr const char* AVMetadataCommonKeyTitle = "title";

struct AVMetadataItem {
  // For example "icy/StreamTitle".
  std::string identifier;
  // A std::string, a double or an int64_t; empty when the item carries no value.
  std::any value;
  // The key within its key space, for example "title" in AVMetadataKeySpaceCommon.
  std::string key;
  std::string keySpace;

  // The value when it is a string.
  std::optional<std::string> stringValue() const;

  // The items of `items` with that key in that key space, in order.
  static std::vector<AVMetadataItem> metadataItemsFromArray(const std::vector<AVMetadataItem>& items,
                                                            const std::string& key,
                                                            const std::string& keySpace);
};

struct AVTimedMetadataGroup {
  std::vector<AVMetadataItem> items;
  CMTimeRange timeRange = kCMTimeRangeInvalid;
};
