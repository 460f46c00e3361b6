#include "plugins/webrtc_host/post_event.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"

namespace webrtc_host {

void postEvent(const FlutterEventSink& sink, flutter::Value event) {
  if (!sink) {
    NSLog("postEvent: sink is nil, skipping event dispatch");
    return;
  }
  dispatch_async(dispatch_get_main_queue(),
                 [sink, event = std::move(event)] { sink(FlutterEvent(event)); });
}

}  // namespace webrtc_host
