#include "plugins/webrtc_host/statistics_map.h"

#include <cmath>
#include <limits>

namespace webrtc_host {
namespace {

flutter::Value toValue(const RTCStatisticsValue& value) {
  return std::visit(
      [](const auto& entry) -> flutter::Value {
        using T = std::decay_t<decltype(entry)>;
        if constexpr (std::is_same_v<T, uint64_t>) {
          constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
          return flutter::Value(static_cast<int64_t>(std::min(entry, kMax)));
        } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
          flutter::ValueList list;
          for (const auto& text : entry) list.push_back(text);
          return flutter::Value(std::move(list));
        } else {
          return flutter::Value(entry);
        }
      },
      value);
}

}  // namespace

flutter::Value statisticsReportToMap(const RTCStatisticsReport& report) {
  flutter::ValueList stats;
  for (const auto& [id, statistic] : report.statistics) {
    flutter::ValueMap values;
    for (const auto& [name, value] : statistic.values) values.append(name, toValue(value));
    const double timestamp = std::isfinite(statistic.timestamp_us) ? statistic.timestamp_us : 0.0;
    stats.push_back(flutter::ValueMap{{"id", statistic.id},
                                      {"type", statistic.type},
                                      {"timestamp", timestamp},
                                      {"values", std::move(values)}});
  }
  return flutter::ValueMap{{"stats", std::move(stats)}};
}

}  // namespace webrtc_host
