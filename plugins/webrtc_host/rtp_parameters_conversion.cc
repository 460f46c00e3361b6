#include "plugins/webrtc_host/rtp_parameters_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/rtp_maps.h"

namespace webrtc_host {
namespace {

using flutter::Value;

std::optional<int> integerOf(const Value* value) {
  if (value == nullptr || !value->isNumber() || value->is<bool>()) return std::nullopt;
  if (auto* real = value->getIf<double>(); real != nullptr && !std::isfinite(*real)) {
    return std::nullopt;
  }
  const int64_t integer = value->intValue();
  constexpr int64_t kMin = std::numeric_limits<int>::min();
  constexpr int64_t kMax = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(integer, kMin, kMax));
}

std::optional<double> realOf(const Value* value) {
  if (value == nullptr || !value->isNumber() || value->is<bool>()) return std::nullopt;
  const double real = value->doubleValue();
  if (!std::isfinite(real)) return std::nullopt;
  return real;
}

// The keys an encoding map may change, in the order they are applied.
void applyEncodingKeys(RTCRtpEncodingParameters& encoding, const Value& map) {
  if (const Value* active = map.find("active"); active != nullptr && active->isNumber()) {
    encoding.isActive = active->boolValue();
  }
  if (auto value = integerOf(map.find("maxBitrate"))) encoding.maxBitrateBps = value;
  if (auto value = integerOf(map.find("minBitrate"))) encoding.minBitrateBps = value;
  if (auto value = integerOf(map.find("maxFramerate"))) encoding.maxFramerate = value;
  if (auto value = integerOf(map.find("numTemporalLayers"))) encoding.numTemporalLayers = value;
  if (auto value = realOf(map.find("scaleResolutionDownBy"))) {
    encoding.scaleResolutionDownBy = value;
  }
  if (const Value* mode = map.find("scalabilityMode"); mode != nullptr && mode->asString()) {
    encoding.scalabilityMode = *mode->asString();
  }
  if (const Value* priority = map.find("priority"); priority != nullptr && priority->asString()) {
    encoding.bitratePriority = stringToBitratePriority(*priority->asString());
  }
  if (const Value* priority = map.find("networkPriority");
      priority != nullptr && priority->asString()) {
    encoding.networkPriority = stringToRTCPriority(*priority->asString());
  }
}

}  // namespace

RTCRtpEncodingParameters mapToEncoding(const flutter::ValueMap& map) {
  RTCRtpEncodingParameters encoding;
  encoding.isActive = true;
  encoding.scaleResolutionDownBy = 1.0;
  encoding.numTemporalLayers = 1;
  encoding.networkPriority = RTCPriorityLow;
  encoding.bitratePriority = 1.0;
  const Value wrapped(map);
  if (const Value* rid = wrapped.find("rid"); rid != nullptr && rid->asString()) {
    encoding.rid = *rid->asString();
  }
  applyEncodingKeys(encoding, wrapped);
  return encoding;
}

RTCRtpTransceiverInit mapToTransceiverInit(const flutter::ValueMap& map) {
  RTCRtpTransceiverInit init;
  const Value wrapped(map);
  if (const Value* direction = wrapped.find("direction");
      direction != nullptr && direction->asString()) {
    init.direction = stringToTransceiverDirection(*direction->asString());
  }
  if (const Value* stream_ids = wrapped.find("streamIds"); stream_ids != nullptr) {
    init.streamIds = stringsOf(stream_ids);
  }
  if (const Value* encodings = wrapped.find("sendEncodings");
      encodings != nullptr && encodings->asList()) {
    for (const auto& entry : *encodings->asList()) {
      if (const auto* encoding = entry.asMap())
        init.sendEncodings.push_back(mapToEncoding(*encoding));
    }
  }
  return init;
}

void updateRtpParameters(RTCRtpParameters& parameters, const flutter::ValueMap& update) {
  const Value wrapped(update);
  if (const Value* preference = wrapped.find("degradationPreference");
      preference != nullptr && preference->asString()) {
    if (auto value = stringToDegradationPreference(*preference->asString())) {
      parameters.degradationPreference = value;
    }
  }
  const Value* encodings = wrapped.find("encodings");
  if (encodings == nullptr || encodings->asList() == nullptr) return;
  const auto& entries = *encodings->asList();
  for (size_t index = 0; index < entries.size(); ++index) {
    const Value& entry = entries[index];
    if (entry.asMap() == nullptr) continue;
    RTCRtpEncodingParameters* target = nullptr;
    if (const Value* rid = entry.find("rid");
        rid != nullptr && rid->asString() && !rid->asString()->empty()) {
      for (auto& encoding : parameters.encodings) {
        if (encoding.rid == *rid->asString()) {
          target = &encoding;
          break;
        }
      }
    }
    if (target == nullptr && index < parameters.encodings.size()) {
      target = &parameters.encodings[index];
    }
    if (target != nullptr) applyEncodingKeys(*target, entry);
  }
}

}  // namespace webrtc_host
