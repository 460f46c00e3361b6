// Screen and window sharing: the lists of capturable sources, their thumbnails and their change
// events, and local video streams captured from a screen or a window.
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/desktop_thumbnail.h"
#include "plugins/webrtc_host/host_screen_capture_kit_capturer.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/post_event.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr long kDefaultFrameRate = 30;

// Process-wide, shared by every plug-in: the last list built and the two media lists.
struct DesktopSources {
  std::mutex mutex;
  std::vector<std::shared_ptr<RTCDesktopSource>> sources;
  std::shared_ptr<RTCDesktopMediaList> screens;
  std::shared_ptr<RTCDesktopMediaList> windows;
};

DesktopSources& desktopSources() {
  static auto* const state = new DesktopSources();
  return *state;
}

const char* typeName(const RTCDesktopSource& source) {
  return source.sourceType() == RTCDesktopSourceTypeScreen ? "screen" : "window";
}

Value zeroSize() { return ValueMap{{"width", int32_t{0}}, {"height", int32_t{0}}}; }

Value sourceToMap(const RTCDesktopSource& source) {
  return ValueMap{{"id", source.sourceId()},
                  {"name", source.name()},
                  {"thumbnailSize", zeroSize()},
                  {"type", typeName(source)}};
}

}  // namespace

bool WebRTCHostPlugin::buildDesktopSourcesListWithTypes(const flutter::ValueList& types,
                                                        bool forceReload, FlutterResult& result) {
  auto& state = desktopSources();
  std::lock_guard lock(state.mutex);
  state.sources.clear();
  bool screens = false;
  bool windows = false;
  for (const auto& type : types) {
    const std::string* name = type.asString();
    if (name != nullptr && *name == "screen") {
      screens = true;
    } else if (name != nullptr && *name == "window") {
      windows = true;
    } else {
      result(FlutterError{"ERROR", "Invalid type", nullptr});
      return false;
    }
  }
  if (!screens && !windows) {
    result(FlutterError{"ERROR", "At least one type is required", nullptr});
    return false;
  }
  if (forceReload) {
    state.screens.reset();
    state.windows.reset();
  }
  auto refresh = [&](std::shared_ptr<RTCDesktopMediaList>& list, RTCDesktopSourceType type) {
    if (!list) list = std::make_shared<RTCDesktopMediaList>(type, weak_from_this());
    list->UpdateSourceList(forceReload, true);
    for (auto& source : list->getSources()) state.sources.push_back(std::move(source));
  };
  if (windows) refresh(state.windows, RTCDesktopSourceTypeWindow);
  if (screens) refresh(state.screens, RTCDesktopSourceTypeScreen);
  NSLog("captureSources: %lu", static_cast<unsigned long>(state.sources.size()));
  return true;
}

std::shared_ptr<RTCDesktopSource> WebRTCHostPlugin::desktopSourceForId(
    const std::string& sourceId) {
  auto& state = desktopSources();
  std::lock_guard lock(state.mutex);
  for (const auto& source : state.sources) {
    if (source->sourceId() == sourceId) return source;
  }
  return nullptr;
}

void WebRTCHostPlugin::handleGetDesktopSources(const FlutterMethodCall& call,
                                               FlutterResult result) {
  NSLog("getDesktopSources");
  const flutter::ValueList* types = Arguments(call.arguments).list("types");
  if (types == nullptr) {
    result(FlutterError{"ERROR", "types is required", nullptr});
    return;
  }
  if (!buildDesktopSourcesListWithTypes(*types, true, result)) {
    NSLog("getDesktopSources failed.");
    return;
  }
  ValueList sources;
  {
    auto& state = desktopSources();
    std::lock_guard lock(state.mutex);
    for (const auto& source : state.sources) sources.push_back(sourceToMap(*source));
  }
  result(ValueMap{{"sources", std::move(sources)}});
}

void WebRTCHostPlugin::handleUpdateDesktopSources(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  NSLog("updateDesktopSources");
  const flutter::ValueList* types = Arguments(call.arguments).list("types");
  if (types == nullptr) {
    result(FlutterError{"ERROR", "types is required", nullptr});
    return;
  }
  if (!buildDesktopSourcesListWithTypes(*types, false, result)) {
    NSLog("updateDesktopSources failed.");
    return;
  }
  result(ValueMap{{"result", true}});
}

void WebRTCHostPlugin::handleGetDesktopSourceThumbnail(const FlutterMethodCall& call,
                                                       FlutterResult result) {
  NSLog("getDesktopSourceThumbnail");
  auto source = desktopSourceForId(Arguments(call.arguments).string("sourceId"));
  if (!source) {
    result(ValueMap{{"error", "No source found"}});
    return;
  }
  auto image = source->UpdateThumbnail();
  if (!image) {
    result(ValueMap{{"error", "No thumbnail found"}});
    return;
  }
  result(Value(thumbnailBytes(image)));
}

void WebRTCHostPlugin::handleGetDisplayMedia(const FlutterMethodCall& call, FlutterResult result) {
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize before getDisplayMedia"));
    return;
  }
  const std::string stream_id = NSUUID().UUIDString();
  auto stream = peer_connection_factory_->mediaStreamWithStreamId(stream_id);
  auto video_source = peer_connection_factory_->videoSourceForScreenCast(true);
  const std::string track_id = NSUUID().UUIDString();
  auto adapter = std::make_shared<VideoProcessingAdapter>(video_source);

  const Arguments arguments(call.arguments);
  const flutter::Value* constraints = arguments.value("constraints");
  const flutter::Value* video = constraints != nullptr ? constraints->find("video") : nullptr;
  long fps = kDefaultFrameRate;
  bool screen_capture_kit = false;
  std::optional<std::string> source_id;
  std::shared_ptr<RTCDesktopSource> source;
  bool look_up = true;
  if (video != nullptr && video->is<bool>() && video->get<bool>()) {
    screen_capture_kit = true;
    look_up = false;
  } else if (video != nullptr && video->asMap() != nullptr) {
    const Value* mandatory = video->find("mandatory");
    const Value* rate = mandatory != nullptr ? mandatory->find("frameRate") : nullptr;
    if (rate != nullptr && rate->isNumber()) fps = static_cast<long>(rate->intValue());
    const Value* device = video->find("deviceId");
    if (device != nullptr && device->asMap() != nullptr) {
      const Value* exact = device->find("exact");
      if (exact != nullptr && exact->asString() != nullptr) source_id = *exact->asString();
    } else {
      screen_capture_kit = true;
      look_up = false;
    }
  }
  if (look_up) {
    source = source_id ? desktopSourceForId(*source_id) : nullptr;
    if (!source) {
      result(ValueMap{{"error", "No source found for id: " + textOrNull(source_id)}});
      return;
    }
    if (source->sourceType() == RTCDesktopSourceTypeScreen) {
      screen_capture_kit = true;
    }
  }

  LocalMediaRegistry::CapturerStopHandler stop_handler;
  const bool modern = NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({13, 0, 0});
  if (screen_capture_kit && modern) {
    auto capturer = std::make_shared<HostScreenCaptureKitCapturer>(adapter);
    capturer->startCaptureWithFPS(fps, source_id, [source_id, fps](std::optional<NSError> error) {
      if (error) {
        NSLog("ScreenCaptureKit start failed: %s", error->description().c_str());
      } else {
        NSLog("start screencapturekit capture: for  sourceId: %s, fps: %lu",
              textOrNull(source_id).c_str(), static_cast<unsigned long>(fps));
      }
    });
    stop_handler = [capturer, track_id](std::function<void()> completion) {
      NSLog("stop screencapturekit capture: trackID %s", track_id.c_str());
      capturer->stopCaptureWithCompletion(std::move(completion));
    };
  } else {
    std::shared_ptr<RTCDesktopCapturer> capturer;
    if (screen_capture_kit) {
      NSLog("ScreenCaptureKit unavailable or unsupported, falling back to RTCDesktopCapturer");
      capturer = std::make_shared<RTCDesktopCapturer>(weak_from_this(), adapter);
    } else {
      capturer = std::make_shared<RTCDesktopCapturer>(source, weak_from_this(), adapter);
    }
    const std::string type = source ? typeName(*source) : "screen";
    capturer->startCaptureWithFPS(fps);
    NSLog("start desktop capture: sourceId: %s, type: %s, fps: %lu", textOrNull(source_id).c_str(),
          type.c_str(), static_cast<unsigned long>(fps));
    stop_handler = [capturer, source_id, type, track_id](std::function<void()> completion) {
      NSLog("stop desktop capture: sourceId: %s, type: %s, trackID %s",
            textOrNull(source_id).c_str(), type.c_str(), track_id.c_str());
      capturer->stopCapture();
      if (completion) completion();
    };
  }
  local_media_.addCapture(track_id, {std::move(stop_handler), {}});

  auto track = peer_connection_factory_->videoTrackWithSource(video_source, track_id);
  stream->addVideoTrack(track);
  local_media_.keepPipeline(track_id, adapter);
  local_media_.addTrack(track_id, std::make_shared<LocalVideoTrack>(track, adapter));
  local_media_.addStream(stream_id, stream);

  ValueList video_tracks;
  for (const auto& entry : stream->videoTracks()) {
    video_tracks.push_back(ValueMap{{"id", entry->trackId()},
                                    {"kind", entry->kind()},
                                    {"label", entry->trackId()},
                                    {"enabled", entry->isEnabled()},
                                    {"remote", true},
                                    {"readyState", "live"}});
  }
  result(ValueMap{{"streamId", stream_id},
                  {"audioTracks", ValueList{}},
                  {"videoTracks", std::move(video_tracks)}});
}

void WebRTCHostPlugin::didAddDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) {
  auto sink = eventSink();
  if (!sink) return;
  postEvent(sink, ValueMap{{"event", "desktopSourceAdded"},
                           {"id", source->sourceId()},
                           {"name", source->name()},
                           {"thumbnailSize", zeroSize()},
                           {"type", typeName(*source)},
                           {"thumbnail", Value(thumbnailBytes(source->UpdateThumbnail()))}});
}

void WebRTCHostPlugin::didRemoveDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) {
  auto sink = eventSink();
  if (!sink) return;
  postEvent(sink, ValueMap{{"event", "desktopSourceRemoved"}, {"id", source->sourceId()}});
}

void WebRTCHostPlugin::didChangeDesktopSourceName(const std::shared_ptr<RTCDesktopSource>& source) {
  auto sink = eventSink();
  if (!sink) return;
  postEvent(sink, ValueMap{{"event", "desktopSourceNameChanged"},
                           {"id", source->sourceId()},
                           {"name", source->name()}});
}

void WebRTCHostPlugin::didChangeDesktopSourceThumbnail(
    const std::shared_ptr<RTCDesktopSource>& source) {
  auto sink = eventSink();
  if (!sink) return;
  // A source that shows nothing has no image: its thumbnail is empty bytes.
  postEvent(sink, ValueMap{{"event", "desktopSourceThumbnailChanged"},
                           {"id", source->sourceId()},
                           {"thumbnail", Value(thumbnailBytes(source->thumbnail()))}});
}

void WebRTCHostPlugin::didStartSourceCapture(RTCDesktopCapturer&) {
  NSLog("didSourceCaptureStart");
}

void WebRTCHostPlugin::didPauseSourceCapture(RTCDesktopCapturer&) {
  NSLog("didSourceCapturePaused");
}

void WebRTCHostPlugin::didStopSourceCapture(RTCDesktopCapturer&) { NSLog("didSourceCaptureStop"); }

void WebRTCHostPlugin::didFailSourceCapture(RTCDesktopCapturer&) { NSLog("didSourceCaptureError"); }

}  // namespace webrtc_host
