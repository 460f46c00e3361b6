// A statistics report as the channel carries it: {"stats": [{"id", "type", "timestamp",
// "values"}]}. A time that is not finite is reported as 0.
#pragma once

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_statistics_report.h"

namespace webrtc_host {

flutter::Value statisticsReportToMap(const RTCStatisticsReport& report);

}  // namespace webrtc_host
