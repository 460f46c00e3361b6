// The Dart side's configuration, ICE-server, data-channel, constraint and rectangle maps as the
// framework's objects. Conversions never fail: a missing, mistyped or unknown value leaves the
// framework's default in place.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_configuration.h"
#include "platform/webrtc/rtc_data_channel_configuration.h"
#include "platform/webrtc/rtc_media_constraints.h"

namespace webrtc_host {

// Null (or absent) gives the defaults.
RTCConfiguration toRTCConfiguration(const flutter::Value* map);
// Nullopt for a value that is not a map or that names no URL.
std::optional<RTCIceServer> toRTCIceServer(const flutter::Value* value);
// Nullopt for a value that is not a map.
std::optional<RTCDataChannelConfiguration> toRTCDataChannelConfiguration(
    const flutter::Value* value);
RTCMediaConstraints parseMediaConstraints(const flutter::Value* map);
// Adds the source's pairs (numbers as "true"/"false") to the destination, overwriting.
void parseJavaScriptConstraints(const flutter::ValueMap& source,
                                std::map<std::string, std::string>& destination);
CGRect parseRect(const flutter::ValueMap& map);

}  // namespace webrtc_host
