// Event posting: every event of the plug-in reaches the Dart side through the main queue, in the
// order posted, never on the posting thread.
#pragma once

#include <functional>

#include "platform/flutter/flutter.h"

namespace webrtc_host {

// Drops (and logs) the event when there is no sink. `delivered` runs on the main queue once the
// sink has had the event.
void postEvent(const FlutterEventSink& sink, flutter::Value event,
               std::function<void()> delivered = {});

}  // namespace webrtc_host
