// Field trials: process-wide switches of the framework's experimental behaviour.
#pragma once

#include <map>
#include <string>

inline constexpr const char* kRTCFieldTrialUseNWPathMonitor = "WebRTC-Network-UseNWPathMonitor";
inline constexpr const char* kRTCFieldTrialEnabledValue = "Enabled";

// Replaces the process's field trials.
void RTCInitFieldTrialDictionary(const std::map<std::string, std::string>& fieldTrials);
