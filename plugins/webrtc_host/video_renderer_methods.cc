// Texture renderers, platform-view renderers and frame capture: the methods that bind video
// tracks to what shows or saves them.
#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueMap;

FlutterError renderIsNil() {
  return FlutterError{"videoRendererSetSrcObject: render is nil", std::nullopt, nullptr};
}

std::optional<int64_t> integerArgument(const FlutterMethodCall& call, std::string_view key) {
  const Value* value = Arguments(call.arguments).value(key);
  return value != nullptr ? value->asInteger() : std::nullopt;
}

// Why a capture may not write at `path`, if it may not. Only absolute paths: a relative one
// would land in whatever the host's working directory happens to be.
std::optional<std::string> capturePathProblem(const std::optional<std::string>& path) {
  if (!path || path->empty()) return "A file path is required";
  if (path->find('\0') != std::string::npos) return "The path must not hold a NUL character";
  if (path->front() != '/') return "The path must be absolute";
  return std::nullopt;
}

}  // namespace

std::shared_ptr<RTCVideoTrack> WebRTCHostPlugin::videoTrackForSrcObject(
    const FlutterMethodCall& call) const {
  const Arguments arguments(call.arguments);
  const std::string stream_id = arguments.string("streamId");
  const std::string owner_tag = arguments.string("ownerTag");
  std::shared_ptr<RTCMediaStream> stream;
  if (owner_tag == "local") {
    stream = local_media_.stream(stream_id);
  }
  if (!stream) stream = streamForId(stream_id, owner_tag);
  if (!stream) return nullptr;
  std::shared_ptr<RTCVideoTrack> track;
  const auto tracks = stream->videoTracks();
  if (!tracks.empty()) track = tracks.front();
  if (const auto wanted = arguments.optionalString("trackId")) {
    for (const auto& candidate : tracks) {
      if (candidate->trackId() == *wanted) track = candidate;
    }
  }
  if (!track) NSLog("Not found video track for RTCMediaStream: %s", stream_id.c_str());
  return track;
}

void WebRTCHostPlugin::handleCreateVideoRenderer(const FlutterMethodCall& /*call*/,
                                                 FlutterResult result) {
  auto renderer = HostRTCVideoRenderer::initWithTextureRegistry(textures_, messenger_);
  const int64_t texture_id = renderer->textureId();
  renderers_.add(texture_id, renderer);
  result(ValueMap{{"textureId", texture_id}});
}

void WebRTCHostPlugin::handleVideoRendererSetSrcObject(const FlutterMethodCall& call,
                                                       FlutterResult result) {
  const auto texture_id = integerArgument(call, "textureId");
  auto renderer = texture_id ? renderers_.find(*texture_id) : nullptr;
  if (!renderer) {
    result(renderIsNil());
    return;
  }
  renderer->setVideoTrack(videoTrackForSrcObject(call));
  result(nullptr);
}

void WebRTCHostPlugin::handleVideoRendererDispose(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  const auto texture_id = integerArgument(call, "textureId");
  if (auto renderer = texture_id ? renderers_.remove(*texture_id) : nullptr) {
    renderer->setVideoTrack(nullptr);
    renderer->dispose();
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleVideoPlatformViewRendererSetSrcObject(const FlutterMethodCall& call,
                                                                   FlutterResult result) {
  const auto view_id = integerArgument(call, "viewId");
  auto controller = view_id ? platform_view_factory_->controllerForViewId(*view_id) : nullptr;
  if (!controller) {
    result(renderIsNil());
    return;
  }
  controller->setVideoTrack(videoTrackForSrcObject(call));
  result(nullptr);
}

void WebRTCHostPlugin::handleVideoPlatformViewRendererDispose(const FlutterMethodCall& call,
                                                              FlutterResult result) {
  const auto view_id = integerArgument(call, "viewId");
  if (auto controller = view_id ? platform_view_factory_->controllerForViewId(*view_id) : nullptr) {
    controller->setVideoTrack(nullptr);
    platform_view_factory_->removeController(*view_id);
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleCaptureFrame(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  const auto track_id = arguments.optionalString("trackId");
  const auto path = arguments.optionalString("path");
  auto track =
      track_id ? trackForId(*track_id, arguments.optionalString("peerConnectionId")) : nullptr;
  if (!track) {
    result(FlutterError{"Track is nil", std::nullopt, nullptr});
    return;
  }
  auto video = std::dynamic_pointer_cast<RTCVideoTrack>(track);
  if (!video) {
    const char* name =
        dynamic_cast<RTCAudioTrack*>(track.get()) ? "RTCAudioTrack" : "RTCMediaStreamTrack";
    result(FlutterError{std::string("Track is class of ") + name, std::nullopt, nullptr});
    return;
  }
  if (auto problem = capturePathProblem(path)) {
    result(FlutterError{"CaptureFrameFailed", *problem, nullptr});
    return;
  }
  // Every capture is kept until it has answered, so overlapping ones all answer.
  std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();
  auto capturer = HostRTCFrameCapturer::initWithTrack(
      video, *path, std::move(result),
      [weak](HostRTCFrameCapturer& done) {
        auto self = weak.lock();
        if (!self) return;
        self->frame_captures_.remove(done);
      },
      capture_save_queue_);
  frame_captures_.add(std::move(capturer));
}

void WebRTCHostPlugin::abandonCapturesOfDisposedTracks() {
  for (const auto& capturer : frame_captures_.pending()) {
    if (trackForId(capturer->trackId(), std::nullopt)) continue;
    capturer->abandon(FlutterError{"CaptureFrameFailed",
                                   "The track was disposed before a frame arrived", nullptr});
  }
}

}  // namespace webrtc_host
