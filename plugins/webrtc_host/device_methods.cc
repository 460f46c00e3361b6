// "getSources", "selectAudioInput", "selectAudioOutput": the cameras capture uses and the audio
// devices of the factory's audio device module.
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

std::string positionString(AVCaptureDevicePosition position) {
  switch (position) {
    case AVCaptureDevicePositionBack: return "back";
    case AVCaptureDevicePositionFront: return "front";
    default: return "unspecified";
  }
}

}  // namespace

void WebRTCHostPlugin::handleGetSources(const FlutterMethodCall& /*call*/, FlutterResult result) {
  ValueList sources;
  for (const auto& camera : captureDevices()) {
    sources.push_back(ValueMap{{"facing", positionString(camera->position())},
                               {"deviceId", camera->uniqueID()},
                               {"label", camera->localizedName()},
                               {"kind", "videoinput"}});
  }
  // Before "initialize" there is no audio device module yet: cameras only.
  if (peer_connection_factory_ && peer_connection_factory_->audioDeviceModule()) {
    const auto& module = *peer_connection_factory_->audioDeviceModule();
    for (const auto& device : module.inputDevices()) {
      sources.push_back(
          ValueMap{{"deviceId", device.deviceId}, {"label", device.name}, {"kind", "audioinput"}});
    }
    for (const auto& device : module.outputDevices()) {
      sources.push_back(
          ValueMap{{"deviceId", device.deviceId}, {"label", device.name}, {"kind", "audiooutput"}});
    }
  }
  result(ValueMap{{"sources", std::move(sources)}});
}

void WebRTCHostPlugin::handleSelectAudioInput(const FlutterMethodCall& call,
                                              FlutterResult result) {
  selectAudioDevice(call, std::move(result), AudioDirection::input);
}

void WebRTCHostPlugin::handleSelectAudioOutput(const FlutterMethodCall& call,
                                               FlutterResult result) {
  selectAudioDevice(call, std::move(result), AudioDirection::output);
}

void WebRTCHostPlugin::selectAudioDevice(const FlutterMethodCall& call, FlutterResult result,
                                         AudioDirection direction) {
  const bool input = direction == AudioDirection::input;
  const auto id = Arguments(call.arguments).optionalString("deviceId");
  if (id && peer_connection_factory_ && peer_connection_factory_->audioDeviceModule()) {
    auto& module = *peer_connection_factory_->audioDeviceModule();
    for (const auto& device : input ? module.inputDevices() : module.outputDevices()) {
      if (device.deviceId != *id) continue;
      input ? module.setInputDevice(device) : module.setOutputDevice(device);
      result(nullptr);
      return;
    }
  }
  result(failedError(call.method, "Error: deviceId not found!"));
}

}  // namespace webrtc_host
