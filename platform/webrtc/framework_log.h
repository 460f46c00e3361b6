// The framework's own log lines, handed to every started callback logger.
#pragma once

#include <string>

#include "platform/webrtc/rtc_logging.h"

namespace webrtc_model {

void frameworkLog(RTCLoggingSeverity severity, const std::string& message);

}  // namespace webrtc_model
