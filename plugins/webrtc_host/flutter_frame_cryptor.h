// What the plug-in keeps for one frame cryptor: the cryptor, its event channel and its state
// changes, queued while nobody listens and delivered in order when listening starts.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_frame_cryptor.h"
#include "plugins/webrtc_host/queued_event_sink.h"

namespace webrtc_host {

class WebRTCHostPlugin;

// Also the cryptor's delegate: it hands every state change to the plug-in.
class FlutterFrameCryptor : public FlutterStreamHandler, public RTCFrameCryptorDelegate {
 public:
  // `eventChannelName` names its queue of events in log lines.
  FlutterFrameCryptor(std::shared_ptr<RTCFrameCryptor> cryptor,
                      std::weak_ptr<WebRTCHostPlugin> plugin, const std::string& eventChannelName);

  const std::shared_ptr<RTCFrameCryptor>& cryptor() const { return cryptor_; }
  void setEventChannel(std::shared_ptr<FlutterEventChannel> eventChannel);

  // Posts the event to the sink, or queues it while there is none.
  void sendEvent(flutter::Value event);
  // Switches the cryptor off and lets go of the channel, the sink and the queue.
  void dispose();

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

  void frameCryptorDidStateChangeWithParticipantId(RTCFrameCryptor& frameCryptor,
                                                   const std::string& participantId,
                                                   int state) override;

 private:
  std::shared_ptr<RTCFrameCryptor> cryptor_;
  std::weak_ptr<WebRTCHostPlugin> plugin_;
  std::mutex mutex_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  QueuedEventSink events_;
};

}  // namespace webrtc_host
