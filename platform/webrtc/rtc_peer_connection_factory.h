// Makes peer connections, media streams, sources and tracks, and answers codec capabilities.
// One factory has one signaling thread and one audio device module.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/rtc_audio_device_module.h"
#include "platform/webrtc/rtc_audio_source.h"
#include "platform/webrtc/rtc_audio_track.h"
#include "platform/webrtc/rtc_configuration.h"
#include "platform/webrtc/rtc_default_audio_processing_module.h"
#include "platform/webrtc/rtc_media_constraints.h"
#include "platform/webrtc/rtc_media_stream.h"
#include "platform/webrtc/rtc_peer_connection_delegate.h"
#include "platform/webrtc/rtc_peer_connection_factory_options.h"
#include "platform/webrtc/rtc_rtp_capabilities.h"
#include "platform/webrtc/rtc_video_codec_factory.h"
#include "platform/webrtc/rtc_video_source.h"
#include "platform/webrtc/rtc_video_track.h"

class RTCPeerConnection;

class RTCPeerConnectionFactory : public std::enable_shared_from_this<RTCPeerConnectionFactory> {
 public:
  static std::shared_ptr<RTCPeerConnectionFactory> initWithAudioDeviceModuleType(
      int audioDeviceModuleType, bool bypassVoiceProcessing,
      std::shared_ptr<RTCVideoEncoderFactory> encoderFactory,
      std::shared_ptr<RTCVideoDecoderFactory> decoderFactory,
      std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule);

  RTCPeerConnectionFactory(int audioDeviceModuleType, bool bypassVoiceProcessing,
                           std::shared_ptr<RTCVideoEncoderFactory> encoderFactory,
                           std::shared_ptr<RTCVideoDecoderFactory> decoderFactory,
                           std::shared_ptr<RTCDefaultAudioProcessingModule> audioProcessingModule);
  RTCPeerConnectionFactory(const RTCPeerConnectionFactory&) = delete;
  RTCPeerConnectionFactory& operator=(const RTCPeerConnectionFactory&) = delete;

  const std::shared_ptr<RTCAudioDeviceModule>& audioDeviceModule() const {
    return audio_device_module_;
  }
  void setOptions(const RTCPeerConnectionFactoryOptions& options);

  // Null when the configuration names an ICE server URL that is not stun:, stuns:, turn: or
  // turns:, or when a TURN server lacks its credentials.
  std::shared_ptr<RTCPeerConnection> peerConnectionWithConfiguration(
      const RTCConfiguration& configuration, const RTCMediaConstraints& constraints,
      std::weak_ptr<RTCPeerConnectionDelegate> delegate);

  // `kind` is "audio" or "video"; any other kind has no capabilities.
  RTCRtpCapabilities rtpSenderCapabilitiesForKind(const std::string& kind) const;
  RTCRtpCapabilities rtpReceiverCapabilitiesForKind(const std::string& kind) const;

  std::shared_ptr<RTCMediaStream> mediaStreamWithStreamId(const std::string& streamId);
  std::shared_ptr<RTCAudioSource> audioSourceWithConstraints(
      const RTCMediaConstraints& constraints);
  std::shared_ptr<RTCAudioTrack> audioTrackWithSource(std::shared_ptr<RTCAudioSource> source,
                                                      const std::string& trackId);
  std::shared_ptr<RTCVideoSource> videoSource();
  std::shared_ptr<RTCVideoSource> videoSourceForScreenCast(bool forScreenCast);
  std::shared_ptr<RTCVideoTrack> videoTrackWithSource(std::shared_ptr<RTCVideoSource> source,
                                                      const std::string& trackId);

 private:
  friend class RTCPeerConnectionFactoryControl;

  RTCRtpCapabilities capabilities(const std::string& kind, bool sending) const;

  int audio_device_module_type_;
  std::shared_ptr<RTCVideoEncoderFactory> encoder_factory_;
  std::shared_ptr<RTCVideoDecoderFactory> decoder_factory_;
  std::shared_ptr<RTCDefaultAudioProcessingModule> audio_processing_module_;
  std::shared_ptr<RTCAudioDeviceModule> audio_device_module_;
  dispatch_queue_t signaling_queue_;
  mutable std::mutex mutex_;
  RTCPeerConnectionFactoryOptions options_;
};
