// What an event costs while it waits for the Dart side: its payload and the bookkeeping of its
// values, roughly as held in memory. Events are the plug-in's own maps, a few levels deep.
#pragma once

#include <cstddef>

#include "platform/flutter/value.h"

namespace webrtc_host {

size_t eventBytes(const flutter::Value& event);

}  // namespace webrtc_host
