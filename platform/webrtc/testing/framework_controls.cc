#include "platform/webrtc/testing/framework_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/framework_registry.h"

class RTCPeerConnectionFactoryControl {
 public:
  static RTCPeerConnectionFactoryOptions options(const RTCPeerConnectionFactory& factory) {
    std::lock_guard lock(factory.mutex_);
    return factory.options_;
  }
  static int moduleType(const RTCPeerConnectionFactory& factory) {
    return factory.audio_device_module_type_;
  }
  static std::shared_ptr<RTCVideoEncoderFactory> encoder(const RTCPeerConnectionFactory& factory) {
    return factory.encoder_factory_;
  }
  static std::shared_ptr<RTCVideoDecoderFactory> decoder(const RTCPeerConnectionFactory& factory) {
    return factory.decoder_factory_;
  }
  static std::shared_ptr<RTCDefaultAudioProcessingModule> processing(
      const RTCPeerConnectionFactory& factory) {
    return factory.audio_processing_module_;
  }
};

namespace webrtc::testing {

using webrtc_model::frameworkRegistry;

void emitLogLine(RTCLoggingSeverity severity, const std::string& message) {
  runOnQueueAndWait(
      dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
      [severity, message] { webrtc_model::frameworkLog(severity, message); }, "a log line");
}

std::map<std::string, std::string> fieldTrials() {
  std::lock_guard lock(frameworkRegistry().mutex);
  return frameworkRegistry().field_trials;
}

void setBuiltInVideoCodecs(std::optional<std::vector<RTCVideoCodecInfo>> codecs) {
  std::lock_guard lock(frameworkRegistry().mutex);
  frameworkRegistry().video_codecs_override = std::move(codecs);
}

void refuseNextPeerConnections(int count) {
  std::lock_guard lock(frameworkRegistry().mutex);
  frameworkRegistry().refused_peer_connections = count;
}

std::shared_ptr<RTCPeerConnectionFactory> latestFactory() {
  std::lock_guard lock(frameworkRegistry().mutex);
  for (auto entry = frameworkRegistry().factories.rbegin();
       entry != frameworkRegistry().factories.rend(); ++entry) {
    if (auto factory = entry->lock()) return factory;
  }
  return nullptr;
}

RTCPeerConnectionFactoryOptions factoryOptions(const RTCPeerConnectionFactory& factory) {
  return RTCPeerConnectionFactoryControl::options(factory);
}

int audioDeviceModuleType(const RTCPeerConnectionFactory& factory) {
  return RTCPeerConnectionFactoryControl::moduleType(factory);
}

std::shared_ptr<RTCVideoEncoderFactory> encoderFactory(const RTCPeerConnectionFactory& factory) {
  return RTCPeerConnectionFactoryControl::encoder(factory);
}

std::shared_ptr<RTCVideoDecoderFactory> decoderFactory(const RTCPeerConnectionFactory& factory) {
  return RTCPeerConnectionFactoryControl::decoder(factory);
}

std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule(
    const RTCPeerConnectionFactory& factory) {
  return RTCPeerConnectionFactoryControl::processing(factory);
}

std::vector<std::shared_ptr<RTCPeerConnection>> livePeerConnections() {
  std::lock_guard lock(frameworkRegistry().mutex);
  std::vector<std::shared_ptr<RTCPeerConnection>> connections;
  for (const auto& entry : frameworkRegistry().peer_connections) {
    if (auto connection = entry.lock()) connections.push_back(std::move(connection));
  }
  return connections;
}

void resetFramework() {
  std::lock_guard lock(frameworkRegistry().mutex);
  auto& registry = frameworkRegistry();
  registry.field_trials.clear();
  registry.video_codecs_override.reset();
  registry.refused_peer_connections = 0;
}

}  // namespace webrtc::testing
