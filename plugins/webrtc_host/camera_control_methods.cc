// Camera control: the torch and the camera switch act on the plug-in's one camera capturer,
// whatever camera track the call names; zoom, focus and exposure are refused on this platform.
#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;

std::string classNameOf(const LocalTrack& track) {
  if (dynamic_cast<const LocalAudioTrack*>(&track) != nullptr) return "LocalAudioTrack";
  if (dynamic_cast<const LocalVideoTrack*>(&track) != nullptr) return "LocalVideoTrack";
  return "LocalTrack";
}

FlutterError notSupported(const std::string& method, const char* what) {
  NSLog("Not supported on macOS. Can't %s", what);
  return FlutterError{method + "Failed", "Not supported on macOS", nullptr};
}

std::shared_ptr<AVCaptureDevice> currentDevice(const RTCCameraVideoCapturer& capturer) {
  auto inputs = capturer.captureSession()->inputs();
  return inputs.empty() ? nullptr : inputs.front()->device();
}

}  // namespace

std::shared_ptr<LocalTrack> WebRTCHostPlugin::cameraTrackFor(const FlutterMethodCall& call,
                                                             FlutterResult& result,
                                                             const char* requiredArgument) {
  const Arguments arguments(call.arguments);
  auto found = arguments.optionalString("trackId") ? local_media_.track(arguments.string("trackId"))
                                                   : nullptr;
  if (!found) {
    result(codeOnly("Track is nil"));
    return nullptr;
  }
  const bool camera = dynamic_cast<LocalVideoTrack*>(found.get()) != nullptr;
  if (!camera || (requiredArgument != nullptr && !arguments.has(requiredArgument))) {
    result(codeOnly("Track is class of " + classNameOf(*found)));
    return nullptr;
  }
  return found;
}

void WebRTCHostPlugin::handleMediaStreamTrackHasTorch(const FlutterMethodCall& call,
                                                      FlutterResult result) {
  if (!cameraTrackFor(call, result)) return;
  auto device = video_capturer_ ? currentDevice(*video_capturer_) : nullptr;
  result(Value(device != nullptr && device->isTorchModeSupported(AVCaptureTorchModeOn)));
}

void WebRTCHostPlugin::handleMediaStreamTrackSetTorch(const FlutterMethodCall& call,
                                                      FlutterResult result) {
  if (!cameraTrackFor(call, result)) return;
  const auto failed = [&](const std::string& message) {
    result(FlutterError{"mediaStreamTrackSetTorchFailed", message, nullptr});
  };
  if (!video_capturer_) {
    NSLog("Video capturer is null. Can't set torch");
    failed("device is nil");
    return;
  }
  auto device = currentDevice(*video_capturer_);
  if (!device) {
    NSLog("Video capturer is missing an input. Can't set torch");
    failed("device is nil");
    return;
  }
  if (!device->isTorchModeSupported(AVCaptureTorchModeOn)) {
    NSLog("Current capture device does not support torch. Can't set torch");
    failed("device does not support torch");
    return;
  }
  NSError lock_error;
  if (!device->lockForConfiguration(&lock_error)) {
    NSLog("Failed to aquire configuration lock. %s", lock_error.localizedDescription.c_str());
    failed(lock_error.localizedDescription);
    return;
  }
  const bool torch = Arguments(call.arguments).boolValue("torch");
  try {
    device->setTorchMode(torch ? AVCaptureTorchModeOn : AVCaptureTorchModeOff);
  } catch (const NSInvalidArgumentException& exception) {
    device->unlockForConfiguration();
    failed(exception.userInfo());
    return;
  }
  device->unlockForConfiguration();
  result(nullptr);
}

void WebRTCHostPlugin::handleMediaStreamTrackSetZoom(const FlutterMethodCall& call,
                                                     FlutterResult result) {
  if (!cameraTrackFor(call, result)) return;
  result(notSupported(call.method, "set zoom"));
}

void WebRTCHostPlugin::handleMediaStreamTrackSetFocusMode(const FlutterMethodCall& call,
                                                          FlutterResult result) {
  if (!cameraTrackFor(call, result, "focusMode")) return;
  result(notSupported(call.method, "focusMode"));
}

void WebRTCHostPlugin::handleMediaStreamTrackSetFocusPoint(const FlutterMethodCall& call,
                                                           FlutterResult result) {
  if (!cameraTrackFor(call, result, "focusPoint")) return;
  result(notSupported(call.method, "focusPoint"));
}

void WebRTCHostPlugin::handleMediaStreamTrackSetExposureMode(const FlutterMethodCall& call,
                                                             FlutterResult result) {
  if (!cameraTrackFor(call, result, "exposureMode")) return;
  result(notSupported(call.method, "exposureMode"));
}

void WebRTCHostPlugin::handleMediaStreamTrackSetExposurePoint(const FlutterMethodCall& call,
                                                              FlutterResult result) {
  if (!cameraTrackFor(call, result, "exposurePoint")) return;
  result(notSupported(call.method, "exposurePoint"));
}

void WebRTCHostPlugin::handleMediaStreamTrackSwitchCamera(const FlutterMethodCall& call,
                                                          FlutterResult result) {
  if (!cameraTrackFor(call, result)) return;
  if (!video_capturer_) {
    NSLog("Video capturer is null. Can't switch camera");
    result(FlutterError{"Error while switching camera", "Video capturer is null", nullptr});
    return;
  }
  using_front_camera_ = !using_front_camera_;
  auto device = findDeviceForPosition(using_front_camera_ ? AVCaptureDevicePositionFront
                                                          : AVCaptureDevicePositionBack);
  auto format = selectFormatForDevice(device, last_target_width_, last_target_height_);
  if (!device || !format) {
    result(FlutterError{"Error while switching camera", "Error while switching camera",
                        Value("No camera with a capture format")});
    return;
  }
  const int64_t fps = selectFpsForFormat(*format, last_target_fps_);
  const bool front = using_front_camera_;
  video_capturer_->startCaptureWithDevice(
      device, *format, static_cast<long>(fps),
      [result, front](const std::optional<NSError>& error) {
        if (error) {
          result(FlutterError{"Error while switching camera", "Error while switching camera",
                              Value(error->description())});
        } else {
          result(Value(front));
        }
      });
}

}  // namespace webrtc_host
