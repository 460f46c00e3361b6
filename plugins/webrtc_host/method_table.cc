// The dispatcher of "WebRTCHost.Method" and the branches that belong to the plug-in core.
#include "platform/coregraphics/cg_display.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

const MethodTable<WebRTCHostPlugin>& WebRTCHostPlugin::methodTable() {
  using P = WebRTCHostPlugin;
  static const auto* const table = new MethodTable<P>{
      {"initialize", &P::handleInitialize},
      {"createPeerConnection", &P::handleCreatePeerConnection},
      {"getUserMedia", &P::handleGetUserMedia},
      {"getDisplayMedia", &P::handleGetDisplayMedia},
      {"requestCapturePermission", &P::handleRequestCapturePermission},
      {"createLocalMediaStream", &P::handleCreateLocalMediaStream},
      {"getSources", &P::handleGetSources},
      {"selectAudioInput", &P::handleSelectAudioInput},
      {"selectAudioOutput", &P::handleSelectAudioOutput},
      {"mediaStreamGetTracks", &P::handleMediaStreamGetTracks},
      {"createOffer", &P::handleCreateOffer},
      {"createAnswer", &P::handleCreateAnswer},
      {"addStream", &P::handleAddStream},
      {"removeStream", &P::handleRemoveStream},
      {"captureFrame", &P::handleCaptureFrame},
      {"setLocalDescription", &P::handleSetDescription},
      {"setRemoteDescription", &P::handleSetDescription},
      {"sendDtmf", &P::handleSendDtmf},
      {"addCandidate", &P::handleAddCandidate},
      {"getStats", &P::handleGetStats},
      {"createDataChannel", &P::handleCreateDataChannel},
      {"dataChannelSend", &P::handleDataChannelSend},
      {"dataChannelGetBufferedAmount", &P::handleDataChannelGetBufferedAmount},
      {"dataChannelClose", &P::handleDataChannelClose},
      {"streamDispose", &P::handleStreamDispose},
      {"mediaStreamTrackSetEnable", &P::handleMediaStreamTrackSetEnable},
      {"mediaStreamAddTrack", &P::handleMediaStreamAddTrack},
      {"mediaStreamRemoveTrack", &P::handleMediaStreamRemoveTrack},
      {"trackDispose", &P::handleTrackDispose},
      {"restartIce", &P::handleRestartIce},
      {"peerConnectionClose", &P::handlePeerConnectionClose},
      {"peerConnectionDispose", &P::handlePeerConnectionClose},
      {"createVideoRenderer", &P::handleCreateVideoRenderer},
      {"videoRendererDispose", &P::handleVideoRendererDispose},
      {"videoRendererSetSrcObject", &P::handleVideoRendererSetSrcObject},
      {"videoPlatformViewRendererSetSrcObject", &P::handleVideoPlatformViewRendererSetSrcObject},
      {"videoPlatformViewRendererDispose", &P::handleVideoPlatformViewRendererDispose},
      {"mediaStreamTrackHasTorch", &P::handleMediaStreamTrackHasTorch},
      {"mediaStreamTrackSetTorch", &P::handleMediaStreamTrackSetTorch},
      {"mediaStreamTrackSetZoom", &P::handleMediaStreamTrackSetZoom},
      {"mediaStreamTrackSetFocusMode", &P::handleMediaStreamTrackSetFocusMode},
      {"mediaStreamTrackSetFocusPoint", &P::handleMediaStreamTrackSetFocusPoint},
      {"mediaStreamTrackSetExposureMode", &P::handleMediaStreamTrackSetExposureMode},
      {"mediaStreamTrackSetExposurePoint", &P::handleMediaStreamTrackSetExposurePoint},
      {"mediaStreamTrackSwitchCamera", &P::handleMediaStreamTrackSwitchCamera},
      {"setVolume", &P::handleSetVolume},
      {"setMicrophoneMute", &P::handleSetMicrophoneMute},
      {"getLocalDescription", &P::handleGetLocalDescription},
      {"getRemoteDescription", &P::handleGetRemoteDescription},
      {"setConfiguration", &P::handleSetConfiguration},
      {"addTrack", &P::handleAddTrack},
      {"removeTrack", &P::handleRemoveTrack},
      {"addTransceiver", &P::handleAddTransceiver},
      {"rtpTransceiverSetDirection", &P::handleRtpTransceiverSetDirection},
      {"rtpTransceiverGetCurrentDirection", &P::handleRtpTransceiverGetDirection},
      {"rtpTransceiverGetDirection", &P::handleRtpTransceiverGetDirection},
      {"rtpTransceiverStop", &P::handleRtpTransceiverStop},
      {"rtpSenderSetParameters", &P::handleRtpSenderSetParameters},
      {"rtpSenderReplaceTrack", &P::handleRtpSenderReplaceTrack},
      {"rtpSenderSetTrack", &P::handleRtpSenderReplaceTrack},
      {"rtpSenderSetStreams", &P::handleRtpSenderSetStreams},
      {"getSenders", &P::handleGetSenders},
      {"getReceivers", &P::handleGetReceivers},
      {"getTransceivers", &P::handleGetTransceivers},
      {"getDesktopSources", &P::handleGetDesktopSources},
      {"updateDesktopSources", &P::handleUpdateDesktopSources},
      {"getDesktopSourceThumbnail", &P::handleGetDesktopSourceThumbnail},
      {"setCodecPreferences", &P::handleSetCodecPreferences},
      {"getRtpReceiverCapabilities", &P::handleGetRtpReceiverCapabilities},
      {"getRtpSenderCapabilities", &P::handleGetRtpSenderCapabilities},
      {"getSignalingState", &P::handleGetState},
      {"getIceGatheringState", &P::handleGetState},
      {"getIceConnectionState", &P::handleGetState},
      {"getConnectionState", &P::handleGetState},
      {"setLogSeverity", &P::handleSetLogSeverity},
      {"startLocalRecording", &P::handleStartLocalRecording},
      {"stopLocalRecording", &P::handleStopLocalRecording},
      {"isVoiceProcessingEnabled", &P::handleIsVoiceProcessingEnabled},
      {"isVoiceProcessingBypassed", &P::handleIsVoiceProcessingBypassed},
      {"setIsVoiceProcessingBypassed", &P::handleSetIsVoiceProcessingBypassed},
      {"getMicrophoneMuteMode", &P::handleGetMicrophoneMuteMode},
      {"setMicrophoneMuteMode", &P::handleSetMicrophoneMuteMode},
      {"isMicrophoneMuted", &P::handleIsMicrophoneMuted},
      {"setMicrophoneMuted", &P::handleSetMicrophoneMuted},
  };
  return *table;
}

void WebRTCHostPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (dispatchMethodCall(*this, methodTable(), call, result) ||
      dispatchMethodCall(*this, frameCryptorMethodTable(), call, result) ||
      key_provider_methods_.handleMethodCall(call, result) ||
      data_packet_cryptor_methods_.handleMethodCall(call, result)) {
    return;
  }
  result(FlutterMethodNotImplemented);
}

void WebRTCHostPlugin::handleInitialize(const FlutterMethodCall& call, FlutterResult result) {
  static const flutter::Value kNoOptions;
  const flutter::Value* given = Arguments(call.arguments).value("options");
  const Arguments options(given != nullptr ? *given : kNoOptions);
  const bool bypass = options.boolValue("bypassVoiceProcessing");
  const auto mask = options.stringList("networkIgnoreMask");
  const auto severity = options.has("logSeverity")
                            ? logSeverityForString(options.optionalString("logSeverity"))
                            : RTCLoggingSeverityNone;
  initialize(mask, bypass, severity);
  result(flutter::Value(""));
}

void WebRTCHostPlugin::handleSetLogSeverity(const FlutterMethodCall& call, FlutterResult result) {
  initLoggerCallback(logSeverityForString(Arguments(call.arguments).optionalString("severity")));
  result(nullptr);
}

void WebRTCHostPlugin::handleRequestCapturePermission(const FlutterMethodCall& /*call*/,
                                                      FlutterResult result) {
  dispatch_async(dispatch_get_main_queue(), [result] {
    const bool granted = CGPreflightScreenCaptureAccess() || CGRequestScreenCaptureAccess();
    result(flutter::Value(granted));
  });
}

void WebRTCHostPlugin::handleSendDtmf(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto peer = peerConnectionFor(call, result);
  if (!peer) return;
  const std::string tone = arguments.string("tone");
  const int duration = arguments.intValue("duration");
  const int gap = arguments.intValue("gap");
  std::shared_ptr<RTCRtpSender> audio_sender;
  for (const auto& sender : peer->peerConnection()->senders()) {
    auto track = sender->track();
    if (track && track->kind() == kRTCMediaStreamTrackKindAudio) audio_sender = sender;
  }
  if (!audio_sender || !audio_sender->dtmfSender()) {
    result(flutter::ValueMap{{"result", "success"}});
    return;
  }
  // The tone is queued on a queue of its own; the answer says whether the sender took it.
  auto queue = dispatch_queue_create("webrtc_host.dtmf", DISPATCH_QUEUE_SERIAL);
  dispatch_async(queue, [dtmf = audio_sender->dtmfSender(), tone, duration, gap, result] {
    const bool queued = dtmf->insertDtmf(tone, duration / 1000.0, gap / 1000.0);
    if (queued) NSLog("DTMF Tone played ");
    dispatch_async(dispatch_get_main_queue(), [queued, result] {
      if (queued) {
        result(flutter::ValueMap{{"result", "success"}});
      } else {
        result(FlutterError{"sendDtmfFailed", "Error: the tones could not be sent", nullptr});
      }
    });
  });
}

}  // namespace webrtc_host
