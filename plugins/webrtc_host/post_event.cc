#include "plugins/webrtc_host/post_event.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"

namespace webrtc_host {

void postEvent(const FlutterEventSink& sink, flutter::Value event,
               std::function<void()> delivered) {
  if (!sink) {
    NSLog("postEvent: sink is nil, skipping event dispatch");
    return;
  }
  dispatch_async(dispatch_get_main_queue(),
                 [sink, event = std::move(event), delivered = std::move(delivered)]() mutable {
                   sink(FlutterEvent(std::move(event)));
                   if (delivered) delivered();
                 });
}

}  // namespace webrtc_host
