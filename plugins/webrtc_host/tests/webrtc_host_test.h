// The plug-in registered on a fresh engine, driven from the in-process Dart side, with every
// stand-in it talks to back at its defaults.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/coregraphics/testing/cg_display_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/screencapturekit/testing/screen_capture_kit_controls.h"
#include "platform/webrtc/testing/desktop_controls.h"
#include "platform/webrtc/testing/framework_controls.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

// Readable values in test failures.
namespace flutter {
inline void PrintTo(const Value& value, std::ostream* out) { *out << value.debugString(); }
}  // namespace flutter

namespace webrtc_host::testing {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::MethodReply;

inline constexpr const char* kMethodChannel = "WebRTCHost.Method";
inline constexpr const char* kEventChannel = "WebRTCHost.Event";

class WebRTCHostTest : public ::testing::Test {
 protected:
  WebRTCHostTest() {
    webrtc::testing::resetFramework();
    webrtc::testing::resetDesktop();
    screencapturekit::testing::resetScreenCaptureKit();
    // Screen captures deliver only the frames a test hands them, unless it lets them run.
    webrtc::testing::holdDesktopFrames(true);
    screencapturekit::testing::holdScreenFrames(true);
    coregraphics::testing::resetDisplayControls();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    WebRTCHostPlugin::registerWithRegistrar(dart.registrar("WebRTCHostPlugin"));
    plugin = WebRTCHostPlugin::sharedSingleton();
  }
  ~WebRTCHostTest() override {
    dart.drain();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }

  MethodReply call(const std::string& method, ValueMap arguments = {}) {
    return dart.invokeMethod(kMethodChannel, method, Value(std::move(arguments)));
  }
  // Calls and expects success; answers the value.
  Value ok(const std::string& method, ValueMap arguments = {}) {
    auto reply = call(method, std::move(arguments));
    EXPECT_TRUE(reply.isSuccess()) << method << ": " << reply.describe();
    return reply.value;
  }
  void initialize(ValueMap options = {}) { ok("initialize", {{"options", std::move(options)}}); }
  std::string createPeerConnection(ValueMap configuration = {}) {
    auto reply = ok("createPeerConnection", {{"configuration", std::move(configuration)}});
    const Value* id = reply.find("peerConnectionId");
    return id != nullptr && id->asString() != nullptr ? *id->asString() : "";
  }
  static std::string events(const std::string& peerConnectionId) {
    return "WebRTCHost/peerConnectionEvent" + peerConnectionId;
  }
  std::shared_ptr<RTCPeerConnection> framework(const std::string& peerConnectionId) {
    auto peer = plugin->peerConnections().find(peerConnectionId);
    return peer ? peer->peerConnection() : nullptr;
  }
  // The event maps received on a channel whose "event" is `name`.
  std::vector<Value> eventsNamed(const std::string& channel, const std::string& name) {
    std::vector<Value> found;
    for (const auto& event : dart.events(channel)) {
      if (event.isValue() && event.value().find("event") != nullptr &&
          *event.value().find("event") == Value(name)) {
        found.push_back(event.value());
      }
    }
    return found;
  }
  bool waitForEvent(const std::string& channel, const std::string& name, size_t count = 1) {
    return dart.runUntil([&] { return eventsNamed(channel, name).size() >= count; });
  }
  // A local video stream from the default screen; answers {"streamId", "trackId"}.
  std::pair<std::string, std::string> displayMedia() {
    auto reply = ok("getDisplayMedia", {{"constraints", ValueMap{{"video", true}}}});
    const auto& tracks = *reply.find("videoTracks")->asList();
    return {*reply.find("streamId")->asString(), *tracks.at(0).find("id")->asString()};
  }

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
  std::shared_ptr<WebRTCHostPlugin> plugin;
};

inline FlutterError failed(const std::string& code, const std::string& message) {
  return FlutterError{code, message, nullptr};
}

}  // namespace webrtc_host::testing
