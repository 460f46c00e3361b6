// Operations on the factory's audio device module: recording, voice processing and muting.
#include "platform/dispatch/dispatch.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

FlutterError admError(const std::string& method, const std::string& message) {
  return FlutterError{method + " failed", message, nullptr};
}

}  // namespace

std::string WebRTCHostPlugin::stringForMuteMode(int mode) {
  switch (mode) {
    case RTCAudioEngineMuteModeUnknown:
      return "unknown";
    case RTCAudioEngineMuteModeRestartEngine:
      return "restartEngine";
    case RTCAudioEngineMuteModeInputMixer:
      return "inputMixer";
    default:
      return "voiceProcessing";
  }
}

int WebRTCHostPlugin::muteModeForString(const std::optional<std::string>& mode) {
  if (mode == "voiceProcessing") return RTCAudioEngineMuteModeVoiceProcessing;
  if (mode == "restartEngine") return RTCAudioEngineMuteModeRestartEngine;
  if (mode == "inputMixer") return RTCAudioEngineMuteModeInputMixer;
  return RTCAudioEngineMuteModeUnknown;
}

void WebRTCHostPlugin::runOnAudioDeviceModule(
    const std::string& method, std::function<int32_t(RTCAudioDeviceModule&)> operation,
    FlutterResult result) {
  std::shared_ptr<RTCAudioDeviceModule> module =
      peer_connection_factory_ ? peer_connection_factory_->audioDeviceModule() : nullptr;
  dispatch_async(
      dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0),
      [module, method, operation = std::move(operation), result] {
        // Without a factory there is no module: nothing happens and the call succeeds.
        const int32_t status = module ? operation(*module) : 0;
        dispatch_async(dispatch_get_main_queue(), [method, status, result] {
          if (status == 0) {
            result(nullptr);
          } else {
            result(admError(method, "Error: adm api failed with code: " + std::to_string(status)));
          }
        });
      });
}

void WebRTCHostPlugin::handleStartLocalRecording(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  runOnAudioDeviceModule(
      call.method, [](RTCAudioDeviceModule& module) { return module.initAndStartRecording(); },
      std::move(result));
}

void WebRTCHostPlugin::handleStopLocalRecording(const FlutterMethodCall& call,
                                                FlutterResult result) {
  runOnAudioDeviceModule(
      call.method, [](RTCAudioDeviceModule& module) { return module.stopRecording(); },
      std::move(result));
}

void WebRTCHostPlugin::handleIsVoiceProcessingEnabled(const FlutterMethodCall& /*call*/,
                                                      FlutterResult result) {
  const auto& module =
      peer_connection_factory_ ? peer_connection_factory_->audioDeviceModule() : nullptr;
  result(flutter::Value(module != nullptr && module->isPlatformVoiceProcessingAllowed()));
}

void WebRTCHostPlugin::handleIsVoiceProcessingBypassed(const FlutterMethodCall& /*call*/,
                                                       FlutterResult result) {
  const auto& module =
      peer_connection_factory_ ? peer_connection_factory_->audioDeviceModule() : nullptr;
  result(flutter::Value(module != nullptr && module->isVoiceProcessingBypassed()));
}

void WebRTCHostPlugin::handleSetIsVoiceProcessingBypassed(const FlutterMethodCall& call,
                                                          FlutterResult result) {
  if (peer_connection_factory_ && peer_connection_factory_->audioDeviceModule()) {
    peer_connection_factory_->audioDeviceModule()->setVoiceProcessingBypassed(
        Arguments(call.arguments).boolValue("value"));
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleGetMicrophoneMuteMode(const FlutterMethodCall& /*call*/,
                                                   FlutterResult result) {
  const auto& module =
      peer_connection_factory_ ? peer_connection_factory_->audioDeviceModule() : nullptr;
  result(flutter::Value(
      stringForMuteMode(module ? module->muteMode() : RTCAudioEngineMuteModeVoiceProcessing)));
}

void WebRTCHostPlugin::handleSetMicrophoneMuteMode(const FlutterMethodCall& call,
                                                   FlutterResult result) {
  const auto mode_name = Arguments(call.arguments).optionalString("mode");
  const int mode = muteModeForString(mode_name);
  if (mode == RTCAudioEngineMuteModeUnknown) {
    result(admError(call.method, "Error: invalid mute mode: " + textOrNull(mode_name)));
    return;
  }
  runOnAudioDeviceModule(
      call.method, [mode](RTCAudioDeviceModule& module) { return module.setMuteMode(mode); },
      std::move(result));
}

void WebRTCHostPlugin::handleIsMicrophoneMuted(const FlutterMethodCall& /*call*/,
                                               FlutterResult result) {
  const auto& module =
      peer_connection_factory_ ? peer_connection_factory_->audioDeviceModule() : nullptr;
  result(flutter::Value(module != nullptr && module->isMicrophoneMuted()));
}

void WebRTCHostPlugin::handleSetMicrophoneMuted(const FlutterMethodCall& call,
                                                FlutterResult result) {
  const Arguments arguments(call.arguments);
  if (!arguments.isNumber("muted")) {
    result(admError(call.method, "Error: muted is required"));
    return;
  }
  const bool muted = arguments.boolValue("muted");
  runOnAudioDeviceModule(
      call.method,
      [muted](RTCAudioDeviceModule& module) { return module.setMicrophoneMuted(muted); },
      std::move(result));
}

}  // namespace webrtc_host
