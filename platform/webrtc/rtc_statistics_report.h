// Statistics reports: one statistic per id, each with a type, a time and named values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

using RTCStatisticsValue =
    std::variant<bool, int64_t, uint64_t, double, std::string, std::vector<std::string>>;

struct RTCStatistics {
  std::string id;
  std::string type;
  // Microseconds since 1970.
  double timestamp_us = 0;
  std::map<std::string, RTCStatisticsValue> values;
};

struct RTCStatisticsReport {
  double timestamp_us = 0;
  std::map<std::string, RTCStatistics> statistics;
};
