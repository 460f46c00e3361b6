// Timed metadata as an item's metadata outputs deliver it.
#pragma once

#include <any>
#include <string>
#include <vector>

#include "platform/avfoundation/cm_time_range.h"

struct AVMetadataItem {
  // For example "icy/StreamTitle".
  std::string identifier;
  // A std::string, a double or an int64_t; empty when the item carries no value.
  std::any value;
};

struct AVTimedMetadataGroup {
  std::vector<AVMetadataItem> items;
  CMTimeRange timeRange = kCMTimeRangeInvalid;
};
