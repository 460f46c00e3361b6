#include "platform/webrtc/rtc_peer_connection_factory.h"

#include "platform/webrtc/codec_catalog.h"
#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/framework_registry.h"
#include "platform/webrtc/rtc_peer_connection.h"

namespace {

bool acceptableIceServer(const RTCIceServer& server) {
  if (server.urlStrings.empty()) return false;
  for (const auto& url : server.urlStrings) {
    const bool turn = url.rfind("turn:", 0) == 0 || url.rfind("turns:", 0) == 0;
    const bool stun = url.rfind("stun:", 0) == 0 || url.rfind("stuns:", 0) == 0;
    if (!turn && !stun) return false;
    if (turn && (!server.username || !server.credential)) return false;
  }
  return true;
}

RTCRtpCodecCapability videoCapability(const RTCVideoCodecInfo& codec, int payloadType) {
  RTCRtpCodecCapability capability;
  capability.preferredPayloadType = payloadType;
  capability.name = codec.name;
  capability.kind = kRTCMediaStreamTrackKindVideo;
  capability.clockRate = 90000;
  capability.parameters = codec.parameters;
  capability.mimeType = std::string(kRTCMediaStreamTrackKindVideo) + "/" + codec.name;
  return capability;
}

}  // namespace

std::shared_ptr<RTCPeerConnectionFactory> RTCPeerConnectionFactory::initWithAudioDeviceModuleType(
    int audioDeviceModuleType, bool bypassVoiceProcessing,
    std::shared_ptr<RTCVideoEncoderFactory> encoderFactory,
    std::shared_ptr<RTCVideoDecoderFactory> decoderFactory,
    std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule) {
  auto factory = std::make_shared<RTCPeerConnectionFactory>(
      audioDeviceModuleType, bypassVoiceProcessing, std::move(encoderFactory),
      std::move(decoderFactory), std::move(audioProcessingModule));
  auto& registry = webrtc_model::frameworkRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.factories, [](const auto& entry) { return entry.expired(); });
  registry.factories.push_back(factory);
  return factory;
}

RTCPeerConnectionFactory::RTCPeerConnectionFactory(
    int audioDeviceModuleType, bool bypassVoiceProcessing,
    std::shared_ptr<RTCVideoEncoderFactory> encoderFactory,
    std::shared_ptr<RTCVideoDecoderFactory> decoderFactory,
    std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule)
    : audio_device_module_type_(audioDeviceModuleType),
      encoder_factory_(std::move(encoderFactory)),
      decoder_factory_(std::move(decoderFactory)),
      audio_processing_module_(std::move(audioProcessingModule)),
      audio_device_module_(std::make_shared<RTCAudioDeviceModule>(bypassVoiceProcessing)),
      signaling_queue_(dispatch_queue_create("org.webrtc.signaling", DISPATCH_QUEUE_SERIAL)) {}

void RTCPeerConnectionFactory::setOptions(const RTCPeerConnectionFactoryOptions& options) {
  std::lock_guard lock(mutex_);
  options_ = options;
}

std::shared_ptr<RTCPeerConnection> RTCPeerConnectionFactory::peerConnectionWithConfiguration(
    const RTCConfiguration& configuration, const RTCMediaConstraints& constraints,
    std::weak_ptr<RTCPeerConnectionDelegate> delegate) {
  auto& registry = webrtc_model::frameworkRegistry();
  {
    std::lock_guard lock(registry.mutex);
    if (registry.refused_peer_connections > 0) {
      --registry.refused_peer_connections;
      return nullptr;
    }
  }
  for (const auto& server : configuration.iceServers) {
    if (!acceptableIceServer(server)) {
      webrtc_model::frameworkLog(RTCLoggingSeverityError, "Invalid ICE server in configuration");
      return nullptr;
    }
  }
  auto connection = std::make_shared<RTCPeerConnection>(
      shared_from_this(), configuration, constraints, std::move(delegate), signaling_queue_);
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.peer_connections, [](const auto& entry) { return entry.expired(); });
  registry.peer_connections.push_back(connection);
  return connection;
}

RTCRtpCapabilities RTCPeerConnectionFactory::capabilities(const std::string& kind,
                                                          bool sending) const {
  RTCRtpCapabilities capabilities;
  if (kind == kRTCMediaStreamTrackKindAudio) {
    for (const auto& codec : webrtc_model::builtInAudioCodecs()) {
      RTCRtpCodecCapability capability;
      capability.preferredPayloadType = codec.payload_type;
      capability.name = codec.name;
      capability.kind = kRTCMediaStreamTrackKindAudio;
      capability.clockRate = codec.clock_rate;
      capability.numChannels = codec.channels;
      capability.parameters = codec.parameters;
      capability.mimeType = std::string(kRTCMediaStreamTrackKindAudio) + "/" + codec.name;
      capabilities.codecs.push_back(std::move(capability));
    }
  } else if (kind == kRTCMediaStreamTrackKindVideo) {
    std::vector<RTCVideoCodecInfo> codecs;
    if (sending && encoder_factory_) codecs = encoder_factory_->supportedCodecs();
    if (!sending && decoder_factory_) codecs = decoder_factory_->supportedCodecs();
    int payload_type = 96;
    for (const auto& codec : codecs) {
      capabilities.codecs.push_back(videoCapability(codec, payload_type++));
    }
    for (const char* name : {"red", "ulpfec"}) {
      capabilities.codecs.push_back(videoCapability(RTCVideoCodecInfo(name), payload_type++));
    }
  } else {
    return capabilities;
  }
  capabilities.headerExtensions.push_back({"urn:ietf:params:rtp-hdrext:sdes:mid", 1, false});
  return capabilities;
}

RTCRtpCapabilities RTCPeerConnectionFactory::rtpSenderCapabilitiesForKind(
    const std::string& kind) const {
  return capabilities(kind, true);
}

RTCRtpCapabilities RTCPeerConnectionFactory::rtpReceiverCapabilitiesForKind(
    const std::string& kind) const {
  return capabilities(kind, false);
}

std::shared_ptr<RTCMediaStream> RTCPeerConnectionFactory::mediaStreamWithStreamId(
    const std::string& streamId) {
  return std::make_shared<RTCMediaStream>(streamId);
}

std::shared_ptr<RTCAudioSource> RTCPeerConnectionFactory::audioSourceWithConstraints(
    const RTCMediaConstraints& constraints) {
  return std::make_shared<RTCAudioSource>(constraints);
}

std::shared_ptr<RTCAudioTrack> RTCPeerConnectionFactory::audioTrackWithSource(
    std::shared_ptr<RTCAudioSource> source, const std::string& trackId) {
  return std::make_shared<RTCAudioTrack>(std::move(source), trackId);
}

std::shared_ptr<RTCVideoSource> RTCPeerConnectionFactory::videoSource() {
  return std::make_shared<RTCVideoSource>(false);
}

std::shared_ptr<RTCVideoSource> RTCPeerConnectionFactory::videoSourceForScreenCast(
    bool forScreenCast) {
  return std::make_shared<RTCVideoSource>(forScreenCast);
}

std::shared_ptr<RTCVideoTrack> RTCPeerConnectionFactory::videoTrackWithSource(
    std::shared_ptr<RTCVideoSource> source, const std::string& trackId) {
  return RTCVideoTrack::create(std::move(source), trackId);
}
