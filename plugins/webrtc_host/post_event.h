// Event posting: every event of the plug-in reaches the Dart side through the main queue, in the
// order posted, never on the posting thread.
#pragma once

#include "platform/flutter/flutter.h"

namespace webrtc_host {

// Drops (and logs) the event when there is no sink.
void postEvent(const FlutterEventSink& sink, flutter::Value event);

}  // namespace webrtc_host
