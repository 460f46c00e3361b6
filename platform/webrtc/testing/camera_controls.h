// Test controls for camera capture: the capturers made, failing starts, holding stops back, and
// frames pushed through a capturer.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/webrtc/rtc_camera_video_capturer.h"

namespace webrtc::testing {

struct CameraCaptureState {
  bool running = false;
  std::shared_ptr<AVCaptureDevice> device;
  std::optional<AVCaptureDeviceFormat> format;
  long fps = 0;
};

// Capturers still alive, oldest first.
std::vector<std::shared_ptr<RTCCameraVideoCapturer>> liveCameraCapturers();
// Waits until the capturer's queue has done what was asked of it so far.
CameraCaptureState cameraCaptureState(RTCCameraVideoCapturer& capturer);

// The next start reports `error` and captures nothing.
void failNextCameraStart(NSError error);
// While held, stop completions wait for releaseHeldCameraStops.
void holdCameraStops(bool hold);
// Runs the held stop completions on their capturers' queues; answers how many.
size_t releaseHeldCameraStops();

// Hands a frame to the capturer's delegate on the capturer's queue; waits.
void deliverCameraFrame(RTCCameraVideoCapturer& capturer,
                        const std::shared_ptr<RTCVideoFrame>& frame);

void resetCameras();

}  // namespace webrtc::testing
