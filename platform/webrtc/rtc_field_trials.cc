#include "platform/webrtc/rtc_field_trials.h"

#include "platform/webrtc/framework_registry.h"

void RTCInitFieldTrialDictionary(const std::map<std::string, std::string>& fieldTrials) {
  auto& registry = webrtc_model::frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  registry.field_trials = fieldTrials;
}
