// The plug-in with two cameras connected (front "F", back "B") and every access granted, and
// helpers for frames and media requests.
#pragma once

#include "platform/avfoundation/testing/av_capture_controls.h"
#include "platform/webrtc/rtc_i420_buffer.h"
#include "platform/webrtc/testing/camera_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {

class LocalMediaTest : public WebRTCHostTest {
 protected:
  LocalMediaTest() {
    avfoundation::testing::resetCaptureDevices();
    webrtc::testing::resetCameras();
    front = avfoundation::testing::connectCaptureDevice(avfoundation::testing::cameraDescription(
        "F", AVCaptureDevicePositionFront, {{640, 480}, {1280, 720}}));
    back = avfoundation::testing::connectCaptureDevice(avfoundation::testing::cameraDescription(
        "B", AVCaptureDevicePositionBack, {{1920, 1080}}, 60));
    initialize();
  }
  ~LocalMediaTest() override {
    webrtc::testing::holdCameraStops(false);
    webrtc::testing::releaseHeldCameraStops();
    dart.drain();
    avfoundation::testing::resetCaptureDevices();
  }

  MethodReply getUserMedia(ValueMap constraints) {
    return call("getUserMedia", {{"constraints", std::move(constraints)}});
  }
  // Answers {stream id, first video track id} once the capture has started, as a user sees it.
  std::pair<std::string, std::string> camera(ValueMap video = {}) {
    auto reply = ok("getUserMedia", {{"constraints", ValueMap{{"video", std::move(video)}}}});
    const auto* tracks = reply.find("videoTracks")->asList();
    if (plugin->videoCapturer()) webrtc::testing::cameraCaptureState(*plugin->videoCapturer());
    return {*reply.find("streamId")->asString(), *tracks->at(0).find("id")->asString()};
  }
  // Hands a frame to the latest camera capturer, as the camera would: it reaches the track's
  // renderers through the capture pipeline.
  void captureFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
    ASSERT_NE(plugin->videoCapturer(), nullptr);
    webrtc::testing::deliverCameraFrame(*plugin->videoCapturer(), frame);
  }
  static std::shared_ptr<RTCVideoFrame> frame(int width, int height,
                                              RTCVideoRotation rotation = RTCVideoRotation_0) {
    auto buffer = std::make_shared<RTCI420Buffer>(width, height);
    return std::make_shared<RTCVideoFrame>(buffer, rotation, 0);
  }

  std::shared_ptr<AVCaptureDevice> front;
  std::shared_ptr<AVCaptureDevice> back;
};

}  // namespace webrtc_host::testing
