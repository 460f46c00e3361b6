// Test controls for the framework as a whole: its log, field trials, codec list, the factories
// and peer connections alive, and refusing the next peer connections.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/rtc_logging.h"
#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"
#include "platform/webrtc/rtc_video_codec_info.h"

namespace webrtc::testing {

// Writes a line to the framework's log, as the framework does, from a thread of its own; waits
// until the started loggers have taken it.
void emitLogLine(RTCLoggingSeverity severity, const std::string& message);

std::map<std::string, std::string> fieldTrials();

// Replaces the codecs of the built-in video encoder and decoder factories; nullopt restores them.
void setBuiltInVideoCodecs(std::optional<std::vector<RTCVideoCodecInfo>> codecs);

// The next `count` peer-connection requests of any factory answer null.
void refuseNextPeerConnections(int count = 1);

std::shared_ptr<RTCPeerConnectionFactory> latestFactory();
RTCPeerConnectionFactoryOptions factoryOptions(const RTCPeerConnectionFactory& factory);
int audioDeviceModuleType(const RTCPeerConnectionFactory& factory);
std::shared_ptr<RTCVideoEncoderFactory> encoderFactory(const RTCPeerConnectionFactory& factory);
std::shared_ptr<RTCVideoDecoderFactory> decoderFactory(const RTCPeerConnectionFactory& factory);
std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule(
    const RTCPeerConnectionFactory& factory);

// Peer connections alive, oldest first.
std::vector<std::shared_ptr<RTCPeerConnection>> livePeerConnections();

// Back to defaults: no field trials, built-in codecs, nothing refused.
void resetFramework();

}  // namespace webrtc::testing
