// The real-time-communication plug-in: one object behind "WebRTCHost.Method" and
// "WebRTCHost.Event" that owns the peer-connection factory (made by "initialize") and the
// dictionaries of everything the Dart side refers to by id.
//
// Method calls arrive on the main thread. Peer-connection operations that complete later answer
// from the framework's signaling thread; notifications arrive there too, and every event goes to
// the Dart side through the main queue.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_capture_device.h"
#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_audio_device_module.h"
#include "platform/webrtc/rtc_camera_video_capturer.h"
#include "platform/webrtc/rtc_data_packet_cryptor.h"
#include "platform/webrtc/rtc_desktop_capturer.h"
#include "platform/webrtc/rtc_desktop_media_list.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "platform/webrtc/rtc_logging.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"
#include "plugins/webrtc_host/audio_manager.h"
#include "plugins/webrtc_host/cryptor_registry.h"
#include "plugins/webrtc_host/data_packet_cryptor_methods.h"
#include "plugins/webrtc_host/flutter_frame_cryptor.h"
#include "plugins/webrtc_host/flutter_peer_connection.h"
#include "plugins/webrtc_host/frame_capture_list.h"
#include "plugins/webrtc_host/host_rtc_frame_capturer.h"
#include "plugins/webrtc_host/host_rtc_video_platform_view_factory.h"
#include "plugins/webrtc_host/host_rtc_video_renderer.h"
#include "plugins/webrtc_host/key_provider_methods.h"
#include "plugins/webrtc_host/local_media_registry.h"
#include "plugins/webrtc_host/local_track.h"
#include "plugins/webrtc_host/method_dispatch.h"
#include "plugins/webrtc_host/peer_connection_registry.h"
#include "plugins/webrtc_host/video_processing_adapter.h"
#include "plugins/webrtc_host/video_renderer_registry.h"

namespace webrtc_host {

class WebRTCHostPlugin : public FlutterPlugin,
                         public FlutterStreamHandler,
                         public RTCAudioDeviceModuleDelegate,
                         public RTCDesktopMediaListDelegate,
                         public RTCDesktopCapturerDelegate,
                         public std::enable_shared_from_this<WebRTCHostPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);
  static std::shared_ptr<WebRTCHostPlugin> initWithChannel(
      std::shared_ptr<FlutterMethodChannel> channel, FlutterPluginRegistrar& registrar,
      std::shared_ptr<FlutterBinaryMessenger> messenger,
      std::shared_ptr<FlutterTextureRegistry> textures);
  // Use initWithChannel; public only for make_shared.
  WebRTCHostPlugin(std::shared_ptr<FlutterMethodChannel> channel,
                   std::shared_ptr<FlutterBinaryMessenger> messenger,
                   std::shared_ptr<FlutterTextureRegistry> textures);
  ~WebRTCHostPlugin() override;

  // The most recently made plug-in.
  static std::shared_ptr<WebRTCHostPlugin> sharedSingleton();
  static void setAudioSessionManagementEnabled(bool enabled);
  bool audioSessionManagementEnabled() const;
  static void setAudioDeviceModuleObserver(std::weak_ptr<RTCAudioDeviceModuleDelegate> observer);
  static std::string stringForMuteMode(int mode);
  static int muteModeForString(const std::optional<std::string>& mode);
  static RTCLoggingSeverity logSeverityForString(const std::optional<std::string>& severity);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

  void initialize(const std::vector<std::string>& networkIgnoreMask, bool bypassVoiceProcessing,
                  RTCLoggingSeverity severity);
  void initLoggerCallback(RTCLoggingSeverity severity);

  // "WebRTCHost.Event".
  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;
  FlutterEventSink eventSink() const;

  // Lookups; null when nothing matches.
  std::shared_ptr<RTCMediaStream> streamForId(const std::string& streamId,
                                              const std::string& peerConnectionId) const;
  // A local track, else a remote one.
  std::shared_ptr<RTCMediaStreamTrack> trackForId(
      const std::string& trackId, const std::optional<std::string>& peerConnectionId) const;

  // Peer-connection notifications, handed over by each connection's FlutterPeerConnection.
  void peerConnectionDidChangeSignalingState(FlutterPeerConnection& peer, int state);
  void peerConnectionDidChangeIceConnectionState(FlutterPeerConnection& peer, int state);
  void peerConnectionDidChangeIceGatheringState(FlutterPeerConnection& peer, int state);
  void peerConnectionDidChangeConnectionState(FlutterPeerConnection& peer, int state);
  void peerConnectionDidGenerateIceCandidate(FlutterPeerConnection& peer,
                                             const RTCIceCandidate& candidate);
  void peerConnectionDidAddStream(FlutterPeerConnection& peer,
                                  const std::shared_ptr<RTCMediaStream>& stream);
  void peerConnectionDidRemoveStream(FlutterPeerConnection& peer,
                                     const std::shared_ptr<RTCMediaStream>& stream);
  void peerConnectionMediaStreamDidAddTrack(FlutterPeerConnection& peer,
                                            const std::shared_ptr<RTCMediaStream>& stream,
                                            const std::shared_ptr<RTCMediaStreamTrack>& track);
  void peerConnectionMediaStreamDidRemoveTrack(FlutterPeerConnection& peer,
                                               const std::shared_ptr<RTCMediaStream>& stream,
                                               const std::shared_ptr<RTCMediaStreamTrack>& track);
  void peerConnectionDidAddReceiver(FlutterPeerConnection& peer,
                                    const std::shared_ptr<RTCRtpReceiver>& receiver,
                                    const std::vector<std::shared_ptr<RTCMediaStream>>& streams);
  void peerConnectionShouldNegotiate(FlutterPeerConnection& peer);
  void peerConnectionDidOpenDataChannel(FlutterPeerConnection& peer,
                                        const std::shared_ptr<RTCDataChannel>& dataChannel);
  void peerConnectionDidChangeLocalCandidate(FlutterPeerConnection& peer,
                                             const RTCIceCandidate& local,
                                             const RTCIceCandidate& remote, int lastDataReceivedMs,
                                             const std::string& reason);

  // Data-channel notifications, handed over by each channel's FlutterDataChannel.
  void dataChannelDidChangeState(FlutterDataChannel& channel);
  void dataChannelDidReceiveMessageWithBuffer(FlutterDataChannel& channel,
                                              const RTCDataBuffer& buffer);
  void dataChannelDidChangeBufferedAmount(FlutterDataChannel& channel, uint64_t amount);
  static std::optional<std::string> stringForDataChannelState(int state);

  // Frame-cryptor state changes, handed over by each cryptor's FlutterFrameCryptor.
  void frameCryptorDidStateChangeWithParticipantId(FlutterFrameCryptor& frameCryptor,
                                                   const std::string& participantId, int state);
  static std::string stringForFrameCryptorState(int state);

  // RTCAudioDeviceModuleDelegate.
  void audioDeviceModuleDidUpdateDevices(RTCAudioDeviceModule& audioDeviceModule) override;

  // RTCDesktopMediaListDelegate.
  void didAddDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) override;
  void didRemoveDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) override;
  void didChangeDesktopSourceName(const std::shared_ptr<RTCDesktopSource>& source) override;
  void didChangeDesktopSourceThumbnail(const std::shared_ptr<RTCDesktopSource>& source) override;

  // RTCDesktopCapturerDelegate.
  void didStartSourceCapture(RTCDesktopCapturer& capturer) override;
  void didPauseSourceCapture(RTCDesktopCapturer& capturer) override;
  void didStopSourceCapture(RTCDesktopCapturer& capturer) override;
  void didFailSourceCapture(RTCDesktopCapturer& capturer) override;

  // Clears every event sink, closes every connection, stops every capture and unregisters the
  // plug-in's channels.
  void detachFromEngineForRegistrar(FlutterPluginRegistrar& registrar);

  const std::shared_ptr<RTCPeerConnectionFactory>& peerConnectionFactory() const {
    return peer_connection_factory_;
  }
  const std::shared_ptr<FlutterBinaryMessenger>& messenger() const { return messenger_; }
  const std::shared_ptr<FlutterTextureRegistry>& textures() const { return textures_; }
  const std::shared_ptr<AudioManager>& audioManager() const { return audio_manager_; }
  const PeerConnectionRegistry& peerConnections() const { return peer_connections_; }
  const LocalMediaRegistry& localMedia() const { return local_media_; }
  const VideoRendererRegistry& renderers() const { return renderers_; }
  const FrameCaptureList& frameCaptures() const { return frame_captures_; }
  const CryptorRegistry& cryptors() const { return cryptors_; }

  // Local media: capture, streams and tracks, camera, devices, renderers, frame capture.
  using MediaSuccess = std::function<void(const std::shared_ptr<RTCMediaStream>& stream)>;
  using MediaError =
      std::function<void(const std::string& type, const std::optional<std::string>& message)>;
  // The integer of a constraint: a number, a numeric string or {"ideal": numeric string}.
  static int32_t integerConstraint(const flutter::Value* constraints, const std::string& key);
  static std::vector<std::shared_ptr<AVCaptureDevice>> captureDevices();
  static std::shared_ptr<AVCaptureDevice> findDeviceForPosition(AVCaptureDevicePosition position);
  std::optional<AVCaptureDeviceFormat> selectFormatForDevice(
      const std::shared_ptr<AVCaptureDevice>& device, int64_t targetWidth,
      int64_t targetHeight) const;
  static int64_t selectFpsForFormat(const AVCaptureDeviceFormat& format, int64_t targetFps);
  const std::shared_ptr<RTCCameraVideoCapturer>& videoCapturer() const { return video_capturer_; }
  // Answers every pending frame capture whose track the plug-in no longer knows.
  void abandonCapturesOfDisposedTracks();
  const std::shared_ptr<HostRTCVideoPlatformViewFactory>& platformViewFactory() const {
    return platform_view_factory_;
  }

 private:
  static const MethodTable<WebRTCHostPlugin>& methodTable();
  // Lets go of every connection, stream, track, capture, renderer and cryptor.
  void releaseEverything();

  // The connection the call's "peerConnectionId" names; null after answering that none does,
  // under `failureCode` or else "<method>Failed".
  std::shared_ptr<FlutterPeerConnection> peerConnectionFor(const FlutterMethodCall& call,
                                                           FlutterResult& result,
                                                           const std::string& failureCode = {}) const;

  // Branches of the core.
  void handleInitialize(const FlutterMethodCall& call, FlutterResult result);
  void handleSetLogSeverity(const FlutterMethodCall& call, FlutterResult result);
  void handleRequestCapturePermission(const FlutterMethodCall& call, FlutterResult result);
  void handleSendDtmf(const FlutterMethodCall& call, FlutterResult result);
  static const MethodTable<WebRTCHostPlugin>& frameCryptorMethodTable();

  // Data channels.
  void handleCreateDataChannel(const FlutterMethodCall& call, FlutterResult result);
  void handleDataChannelSend(const FlutterMethodCall& call, FlutterResult result);
  void handleDataChannelGetBufferedAmount(const FlutterMethodCall& call, FlutterResult result);
  void handleDataChannelClose(const FlutterMethodCall& call, FlutterResult result);
  std::shared_ptr<FlutterDataChannel> dataChannelForIds(const flutter::Value& arguments) const;

  // Frame cryptors and key providers.
  void frameCryptorFactoryCreateFrameCryptor(const FlutterMethodCall& call, FlutterResult result);
  void frameCryptorSetKeyIndex(const FlutterMethodCall& call, FlutterResult result);
  void frameCryptorGetKeyIndex(const FlutterMethodCall& call, FlutterResult result);
  void frameCryptorSetEnabled(const FlutterMethodCall& call, FlutterResult result);
  void frameCryptorGetEnabled(const FlutterMethodCall& call, FlutterResult result);
  void frameCryptorDispose(const FlutterMethodCall& call, FlutterResult result);
  // The cryptor named by "frameCryptorId", or null after answering the error.
  std::shared_ptr<FlutterFrameCryptor> frameCryptorForId(const FlutterMethodCall& call,
                                                         FlutterResult& result) const;

  // Audio device module.
  void handleStartLocalRecording(const FlutterMethodCall& call, FlutterResult result);
  void handleStopLocalRecording(const FlutterMethodCall& call, FlutterResult result);
  void handleIsVoiceProcessingEnabled(const FlutterMethodCall& call, FlutterResult result);
  void handleIsVoiceProcessingBypassed(const FlutterMethodCall& call, FlutterResult result);
  void handleSetIsVoiceProcessingBypassed(const FlutterMethodCall& call, FlutterResult result);
  void handleGetMicrophoneMuteMode(const FlutterMethodCall& call, FlutterResult result);
  void handleSetMicrophoneMuteMode(const FlutterMethodCall& call, FlutterResult result);
  void handleIsMicrophoneMuted(const FlutterMethodCall& call, FlutterResult result);
  void handleSetMicrophoneMuted(const FlutterMethodCall& call, FlutterResult result);
  void runOnAudioDeviceModule(const std::string& method,
                              std::function<int32_t(RTCAudioDeviceModule&)> operation,
                              FlutterResult result);

  // Desktop capture sources.
  void handleGetDesktopSources(const FlutterMethodCall& call, FlutterResult result);
  void handleUpdateDesktopSources(const FlutterMethodCall& call, FlutterResult result);
  void handleGetDesktopSourceThumbnail(const FlutterMethodCall& call, FlutterResult result);
  void handleGetDisplayMedia(const FlutterMethodCall& call, FlutterResult result);
  bool buildDesktopSourcesListWithTypes(const flutter::ValueList& types, bool forceReload,
                                        FlutterResult& result);
  static std::shared_ptr<RTCDesktopSource> desktopSourceForId(const std::string& sourceId);

  // Peer-connection lifecycle.
  void handleCreatePeerConnection(const FlutterMethodCall& call, FlutterResult result);
  void handlePeerConnectionClose(const FlutterMethodCall& call, FlutterResult result);
  void handleRestartIce(const FlutterMethodCall& call, FlutterResult result);
  void handleSetConfiguration(const FlutterMethodCall& call, FlutterResult result);
  void handleAddStream(const FlutterMethodCall& call, FlutterResult result);
  void handleRemoveStream(const FlutterMethodCall& call, FlutterResult result);
  // The connection and the local stream the call names; nulls after answering that either is
  // missing.
  std::pair<std::shared_ptr<FlutterPeerConnection>, std::shared_ptr<RTCMediaStream>>
  peerConnectionAndStreamFor(const FlutterMethodCall& call, FlutterResult& result) const;
  // The signaling, ICE gathering, ICE connection or connection state, by the method's name.
  void handleGetState(const FlutterMethodCall& call, FlutterResult result);
  void peerConnectionClose(FlutterPeerConnection& peer);

  // Descriptions, candidates and statistics.
  void handleCreateOffer(const FlutterMethodCall& call, FlutterResult result);
  void handleCreateAnswer(const FlutterMethodCall& call, FlutterResult result);
  // "setLocalDescription" and "setRemoteDescription".
  void handleSetDescription(const FlutterMethodCall& call, FlutterResult result);
  void handleAddCandidate(const FlutterMethodCall& call, FlutterResult result);
  void handleGetLocalDescription(const FlutterMethodCall& call, FlutterResult result);
  void handleGetRemoteDescription(const FlutterMethodCall& call, FlutterResult result);
  void handleGetStats(const FlutterMethodCall& call, FlutterResult result);
  void peerConnectionGetStatsForTrackId(const std::string& trackId,
                                        RTCPeerConnection& peerConnection, FlutterResult result);

  // Transceivers, senders and receivers.
  void handleAddTrack(const FlutterMethodCall& call, FlutterResult result);
  void handleRemoveTrack(const FlutterMethodCall& call, FlutterResult result);
  void handleAddTransceiver(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpTransceiverSetDirection(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpTransceiverGetDirection(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpTransceiverStop(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpSenderSetParameters(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpSenderReplaceTrack(const FlutterMethodCall& call, FlutterResult result);
  void handleRtpSenderSetStreams(const FlutterMethodCall& call, FlutterResult result);
  void handleGetSenders(const FlutterMethodCall& call, FlutterResult result);
  void handleGetReceivers(const FlutterMethodCall& call, FlutterResult result);
  void handleGetTransceivers(const FlutterMethodCall& call, FlutterResult result);
  // The connection the call names and the sender its `key` names there; nulls after answering
  // that either is missing.
  std::pair<std::shared_ptr<FlutterPeerConnection>, std::shared_ptr<RTCRtpSender>> rtpSenderFor(
      const FlutterMethodCall& call, FlutterResult& result,
      std::string_view key = "rtpSenderId") const;
  // The transceiver "transceiverId" names on the call's connection; null after answering that
  // either is missing, under `failureCode` or else "<method>Failed".
  std::shared_ptr<RTCRtpTransceiver> transceiverFor(const FlutterMethodCall& call,
                                                    FlutterResult& result,
                                                    const std::string& failureCode = {}) const;

  // Capabilities and codec preferences.
  void handleGetRtpReceiverCapabilities(const FlutterMethodCall& call, FlutterResult result);
  void handleGetRtpSenderCapabilities(const FlutterMethodCall& call, FlutterResult result);
  void handleSetCodecPreferences(const FlutterMethodCall& call, FlutterResult result);
  std::optional<RTCRtpCodecCapability> findCodecCapability(
      const std::string& kind, const std::string& name,
      const std::optional<std::map<std::string, std::string>>& parameters) const;

  // Local media.
  void handleGetUserMedia(const FlutterMethodCall& call, FlutterResult result);
  void getUserMedia(const flutter::Value& constraints, MediaSuccess success, MediaError error,
                    std::shared_ptr<RTCMediaStream> stream);
  void requestAccessForMediaType(const AVMediaType& mediaType, const flutter::Value& constraints,
                                 MediaSuccess success, MediaError error,
                                 std::shared_ptr<RTCMediaStream> stream);
  void getUserAudio(const flutter::Value& constraints, const MediaSuccess& success,
                    const MediaError& error, const std::shared_ptr<RTCMediaStream>& stream);
  void getUserVideo(const flutter::Value& constraints, const MediaSuccess& success,
                    const MediaError& error, const std::shared_ptr<RTCMediaStream>& stream);
  flutter::ValueList trackMaps(const std::vector<std::shared_ptr<RTCMediaStreamTrack>>& tracks);
  void handleCreateLocalMediaStream(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamGetTracks(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamAddTrack(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamRemoveTrack(const FlutterMethodCall& call, FlutterResult result);
  void handleStreamDispose(const FlutterMethodCall& call, FlutterResult result);
  void handleTrackDispose(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetEnable(const FlutterMethodCall& call, FlutterResult result);
  void handleSetVolume(const FlutterMethodCall& call, FlutterResult result);
  void handleSetMicrophoneMute(const FlutterMethodCall& call, FlutterResult result);
  // Calls the track's stop handler, if any; `completion` runs on the main thread. With
  // `forgetCapturer`, the plug-in stops naming the capturer once it has stopped.
  bool stopCapturerOfTrack(const std::string& trackId, bool forgetCapturer,
                           std::function<void()> completion);

  // Camera control. Answers the camera track of the call, or answers the error and null.
  std::shared_ptr<LocalTrack> cameraTrackFor(const FlutterMethodCall& call, FlutterResult& result,
                                             const char* requiredArgument = nullptr);
  void handleMediaStreamTrackHasTorch(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetTorch(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetZoom(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetFocusMode(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetFocusPoint(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetExposureMode(const FlutterMethodCall& call, FlutterResult result);
  void handleMediaStreamTrackSetExposurePoint(const FlutterMethodCall& call,
                                              FlutterResult result);
  void handleMediaStreamTrackSwitchCamera(const FlutterMethodCall& call, FlutterResult result);

  // Devices.
  void handleGetSources(const FlutterMethodCall& call, FlutterResult result);
  void handleSelectAudioInput(const FlutterMethodCall& call, FlutterResult result);
  void handleSelectAudioOutput(const FlutterMethodCall& call, FlutterResult result);
  enum class AudioDirection { input, output };
  // Makes the module's input or output device the one the call's "deviceId" names.
  void selectAudioDevice(const FlutterMethodCall& call, FlutterResult result,
                         AudioDirection direction);

  // Renderers and frame capture.
  std::shared_ptr<RTCVideoTrack> videoTrackForSrcObject(const FlutterMethodCall& call) const;
  void handleCreateVideoRenderer(const FlutterMethodCall& call, FlutterResult result);
  void handleVideoRendererSetSrcObject(const FlutterMethodCall& call, FlutterResult result);
  void handleVideoRendererDispose(const FlutterMethodCall& call, FlutterResult result);
  void handleVideoPlatformViewRendererSetSrcObject(const FlutterMethodCall& call,
                                                   FlutterResult result);
  void handleVideoPlatformViewRendererDispose(const FlutterMethodCall& call, FlutterResult result);
  void handleCaptureFrame(const FlutterMethodCall& call, FlutterResult result);

  std::shared_ptr<FlutterMethodChannel> method_channel_;
  std::shared_ptr<FlutterEventChannel> event_channel_;
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  std::shared_ptr<FlutterTextureRegistry> textures_;
  std::shared_ptr<AudioManager> audio_manager_;
  std::shared_ptr<RTCCallbackLogger> logger_callback_;
  std::shared_ptr<RTCPeerConnectionFactory> peer_connection_factory_;

  // The sink is read by the logger and by notifications on other threads.
  mutable std::mutex event_sink_mutex_;
  FlutterEventSink event_sink_;

  // Main thread only.
  PeerConnectionRegistry peer_connections_;
  LocalMediaRegistry local_media_;
  std::shared_ptr<RTCCameraVideoCapturer> video_capturer_;
  bool using_front_camera_ = false;
  int64_t last_target_width_ = 0;
  int64_t last_target_height_ = 0;
  int64_t last_target_fps_ = 0;
  VideoRendererRegistry renderers_;
  std::shared_ptr<HostRTCVideoPlatformViewFactory> platform_view_factory_;
  FrameCaptureList frame_captures_;
  // Captured frames are encoded and written here, one at a time, in the order they were taken.
  dispatch_queue_t capture_save_queue_ =
      dispatch_queue_create("com.velmora.host.webrtc.capture", DISPATCH_QUEUE_SERIAL);
  CryptorRegistry cryptors_;
  KeyProviderMethods key_provider_methods_{cryptors_.keyProviders};
  DataPacketCryptorMethods data_packet_cryptor_methods_{cryptors_.keyProviders,
                                                        cryptors_.dataCryptors};
};

}  // namespace webrtc_host
