#include "platform/webrtc/testing/camera_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include "platform/webrtc/camera_model.h"

class RTCCameraVideoCapturerControl {
 public:
  static const dispatch_queue_t& queue(RTCCameraVideoCapturer& capturer) {
    return capturer.queue_;
  }
  static webrtc::testing::CameraCaptureState state(RTCCameraVideoCapturer& capturer) {
    webrtc::testing::CameraCaptureState state;
    webrtc::testing::runOnQueueAndWait(capturer.queue_, nullptr, "the camera capturer's queue");
    auto inputs = capturer.session_->inputs();
    std::lock_guard lock(capturer.mutex_);
    state.running = capturer.running_;
    state.device = inputs.empty() ? nullptr : inputs.front()->device();
    state.format = capturer.format_;
    state.fps = capturer.fps_;
    return state;
  }
};

namespace webrtc::testing {

std::vector<std::shared_ptr<RTCCameraVideoCapturer>> liveCameraCapturers() {
  return webrtc_model::cameraModel().liveCapturers();
}

CameraCaptureState cameraCaptureState(RTCCameraVideoCapturer& capturer) {
  return RTCCameraVideoCapturerControl::state(capturer);
}

void failNextCameraStart(NSError error) {
  webrtc_model::cameraModel().failNextStart(std::move(error));
}

void holdCameraStops(bool hold) { webrtc_model::cameraModel().setHoldStops(hold); }

size_t releaseHeldCameraStops() {
  auto held = webrtc_model::cameraModel().takeHeldStops();
  for (auto& [capturer, completion] : held) {
    dispatch_async(RTCCameraVideoCapturerControl::queue(*capturer),
                   [completion = std::move(completion)] { completion(); });
  }
  return held.size();
}

void deliverCameraFrame(RTCCameraVideoCapturer& capturer,
                        const std::shared_ptr<RTCVideoFrame>& frame) {
  auto held = capturer.shared_from_this();
  runOnQueueAndWait(
      RTCCameraVideoCapturerControl::queue(capturer),
      [held, frame] {
        if (auto delegate = held->delegate()) delegate->capturer(*held, frame);
      },
      "a camera frame's delivery");
}

void resetCameras() { webrtc_model::cameraModel().reset(); }

}  // namespace webrtc::testing
