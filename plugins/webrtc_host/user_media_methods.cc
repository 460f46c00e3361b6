// "getUserMedia": one new local stream with at most one microphone and one camera track, each
// captured after the user has allowed it; the camera's device, format and rate chosen from the
// constraints.
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/avfoundation/av_capture_device_discovery_session.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/configuration_conversion.h"
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

const ValueMap& defaultVideoConstraints() {
  static const auto* const constraints =
      new ValueMap{{"minWidth", "1280"}, {"minHeight", "720"}, {"minFrameRate", "30"}};
  return *constraints;
}

bool asksForAudio(const Value* audio) {
  return audio != nullptr && (audio->asMap() != nullptr || audio->boolValue());
}

bool asksForVideo(const Value* video) {
  return video != nullptr && (video->asMap() != nullptr || (video->isNumber() && video->boolValue()));
}

std::string facingModeOf(AVCaptureDevicePosition position) {
  switch (position) {
    case AVCaptureDevicePositionBack: return "environment";
    case AVCaptureDevicePositionFront: return "user";
    default: return "unspecified";
  }
}

std::shared_ptr<AVCaptureDevice> deviceWithId(
    const std::vector<std::shared_ptr<AVCaptureDevice>>& devices, const Value* id) {
  const std::string* text = id != nullptr ? id->asString() : nullptr;
  if (text == nullptr) return nullptr;
  std::shared_ptr<AVCaptureDevice> found;
  for (const auto& device : devices) {
    if (device->uniqueID() == *text) found = device;
  }
  return found;
}

}  // namespace

int32_t WebRTCHostPlugin::integerConstraint(const Value* constraints, const std::string& key) {
  const ValueMap* map = constraints != nullptr ? constraints->asMap() : nullptr;
  const Value* value = map != nullptr ? map->find(std::string_view(key)) : nullptr;
  if (value == nullptr) return 0;
  if (value->isNumber() || value->asString() != nullptr) {
    return static_cast<int32_t>(value->intValue());
  }
  if (const ValueMap* inner = value->asMap()) {
    const Value* ideal = inner->find(std::string_view("ideal"));
    if (ideal != nullptr && ideal->asString() != nullptr) {
      return static_cast<int32_t>(ideal->intValue());
    }
  }
  return 0;
}

std::vector<std::shared_ptr<AVCaptureDevice>> WebRTCHostPlugin::captureDevices() {
  std::vector<AVCaptureDeviceType> types{AVCaptureDeviceTypeBuiltInWideAngleCamera};
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({14, 0, 0})) {
    types.push_back(AVCaptureDeviceTypeContinuityCamera);
    types.push_back(AVCaptureDeviceTypeExternal);
  }
  return AVCaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
             types, AVMediaTypeVideo, AVCaptureDevicePositionUnspecified)
      ->devices();
}

std::shared_ptr<AVCaptureDevice> WebRTCHostPlugin::findDeviceForPosition(
    AVCaptureDevicePosition position) {
  if (position == AVCaptureDevicePositionUnspecified) {
    return AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
  }
  const auto devices = RTCCameraVideoCapturer::captureDevices();
  for (const auto& device : devices) {
    if (device->position() == position) return device;
  }
  return devices.empty() ? nullptr : devices.front();
}

std::optional<AVCaptureDeviceFormat> WebRTCHostPlugin::selectFormatForDevice(
    const std::shared_ptr<AVCaptureDevice>& device, int64_t targetWidth,
    int64_t targetHeight) const {
  std::optional<AVCaptureDeviceFormat> selected;
  int64_t best = std::numeric_limits<int32_t>::max();
  const OSType preferred = video_capturer_ ? video_capturer_->preferredOutputPixelFormat() : 0;
  for (const auto& format : RTCCameraVideoCapturer::supportedFormatsForDevice(device)) {
    const CMVideoDimensions size = format.dimensions();
    const int64_t difference =
        std::abs(targetWidth - size.width) + std::abs(targetHeight - size.height);
    if (difference < best) {
      selected = format;
      best = difference;
    } else if (difference == best && video_capturer_ && format.mediaSubType() == preferred) {
      selected = format;
    }
  }
  return selected;
}

int64_t WebRTCHostPlugin::selectFpsForFormat(const AVCaptureDeviceFormat& format,
                                             int64_t targetFps) {
  double max_rate = 0.0;
  for (const auto& range : format.videoSupportedFrameRateRanges()) {
    max_rate = std::max(max_rate, range.maxFrameRate);
  }
  return static_cast<int64_t>(std::trunc(std::min(max_rate, static_cast<double>(targetFps))));
}

void WebRTCHostPlugin::handleGetUserMedia(const FlutterMethodCall& call, FlutterResult result) {
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize before getUserMedia"));
    return;
  }
  const Value* given = Arguments(call.arguments).value("constraints");
  const Value constraints = given != nullptr ? *given : Value(ValueMap{});
  const std::string stream_id = NSUUID().UUIDString();
  auto stream = peer_connection_factory_->mediaStreamWithStreamId(stream_id);
  std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();

  MediaSuccess success = [weak, result, stream_id](const std::shared_ptr<RTCMediaStream>& done) {
    auto self = weak.lock();
    if (!self) return;
    const auto audio_tracks = done->audioTracks();
    const auto video_tracks = done->videoTracks();
    std::vector<std::shared_ptr<RTCMediaStreamTrack>> audio(audio_tracks.begin(),
                                                             audio_tracks.end());
    std::vector<std::shared_ptr<RTCMediaStreamTrack>> video(video_tracks.begin(),
                                                             video_tracks.end());
    ValueMap reply{{"streamId", stream_id},
                   {"audioTracks", self->trackMaps(audio)},
                   {"videoTracks", self->trackMaps(video)}};
    self->local_media_.addStream(stream_id, done);
    result(Value(std::move(reply)));
  };
  MediaError error = [weak, result, stream](const std::string& type,
                                            const std::optional<std::string>& message) {
    if (auto self = weak.lock()) {
      // The request failed as a whole: the tracks it made so far go again.
      for (const auto& track : stream->audioTracks())
        self->local_media_.removeTrack(track->trackId());
    }
    result(FlutterError{"Error " + type, message, nullptr});
  };
  getUserMedia(constraints, std::move(success), std::move(error), stream);
}

flutter::ValueList WebRTCHostPlugin::trackMaps(
    const std::vector<std::shared_ptr<RTCMediaStreamTrack>>& tracks) {
  ValueList maps;
  for (const auto& track : tracks) {
    const ValueMap* settings = local_media_.settings(track->trackId());
    maps.push_back(ValueMap{{"id", track->trackId()},
                            {"kind", track->kind()},
                            {"label", track->trackId()},
                            {"enabled", track->isEnabled()},
                            {"remote", true},
                            {"readyState", "live"},
                            {"settings", settings != nullptr ? Value(*settings) : Value()}});
  }
  return maps;
}

void WebRTCHostPlugin::getUserMedia(const Value& constraints, MediaSuccess success,
                                    MediaError error, std::shared_ptr<RTCMediaStream> stream) {
  if (stream->audioTracks().empty() && asksForAudio(constraints.find("audio"))) {
    requestAccessForMediaType(AVMediaTypeAudio, constraints, std::move(success), std::move(error),
                              std::move(stream));
    return;
  }
  if (stream->videoTracks().empty() && asksForVideo(constraints.find("video"))) {
    requestAccessForMediaType(AVMediaTypeVideo, constraints, std::move(success), std::move(error),
                              std::move(stream));
    return;
  }
  success(stream);
}

void WebRTCHostPlugin::requestAccessForMediaType(const AVMediaType& mediaType,
                                                 const Value& constraints, MediaSuccess success,
                                                 MediaError error,
                                                 std::shared_ptr<RTCMediaStream> stream) {
  if (mediaType == AVMediaTypeVideo && captureDevices().empty()) {
    dispatch_async(dispatch_get_main_queue(),
                   [error] { error("DOMException", std::string("NotFoundError")); });
    return;
  }
  std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();
  AVCaptureDevice::requestAccessForMediaType(
      mediaType, [weak, mediaType, constraints, success, error, stream](bool granted) {
        dispatch_async(dispatch_get_main_queue(), [=] {
          auto self = weak.lock();
          if (!self) return;
          if (!granted) {
            error("DOMException", std::string("NotAllowedError"));
            return;
          }
          MediaSuccess next = [weak, constraints, success,
                               error](const std::shared_ptr<RTCMediaStream>& done) {
            if (auto again = weak.lock()) again->getUserMedia(constraints, success, error, done);
          };
          if (mediaType == AVMediaTypeAudio) {
            self->getUserAudio(constraints, next, error, stream);
          } else {
            self->getUserVideo(constraints, next, error, stream);
          }
        });
      });
}

void WebRTCHostPlugin::getUserAudio(const Value& constraints, const MediaSuccess& success,
                                    const MediaError& /*error*/,
                                    const std::shared_ptr<RTCMediaStream>& stream) {
  const Value* audio = constraints.find("audio");
  std::string source_id;
  RTCMediaConstraints media_constraints;
  if (audio != nullptr && audio->asMap() != nullptr) {
    const Arguments map(*audio);
    if (auto id = map.optionalString("deviceId")) {
      source_id = *id;
    } else if (const ValueList* optional = map.list("optional")) {
      for (const auto& entry : *optional) {
        const Value* id = entry.asMap() != nullptr ? entry.find("sourceId") : nullptr;
        if (id != nullptr && id->asString() != nullptr) source_id = *id->asString();
      }
    }
    media_constraints = parseMediaConstraints(audio);
  } else {
    const Value defaults{ValueMap{}};
    media_constraints = parseMediaConstraints(&defaults);
  }
  const std::string track_id = NSUUID().UUIDString();
  auto source = peer_connection_factory_->audioSourceWithConstraints(media_constraints);
  auto track = peer_connection_factory_->audioTrackWithSource(source, track_id);
  local_media_.setSettings(track_id, ValueMap{{"deviceId", source_id},
                                              {"kind", "audioinput"},
                                              {"autoGainControl", true},
                                              {"echoCancellation", true},
                                              {"noiseSuppression", true},
                                              {"channelCount", 1},
                                              {"latency", 0}});
  stream->addAudioTrack(track);
  local_media_.addTrack(track_id, std::make_shared<LocalAudioTrack>(track));
  success(stream);
}

void WebRTCHostPlugin::getUserVideo(const Value& constraints, const MediaSuccess& success,
                                    const MediaError& error,
                                    const std::shared_ptr<RTCMediaStream>& stream) {
  const auto devices = captureDevices();
  const Value* video = constraints.find("video");
  std::shared_ptr<AVCaptureDevice> device;
  std::optional<std::string> source_id;
  std::optional<std::string> facing_mode;
  Value video_constraints = video != nullptr ? *video : Value();
  if (video != nullptr && video->asMap() != nullptr) {
    if ((device = deviceWithId(devices, video->find("deviceId")))) {
      source_id = *video->find("deviceId")->asString();
    }
    const Value* optional = video->find("optional");
    if (!device && optional != nullptr && optional->asList() != nullptr) {
      for (const auto& entry : *optional->asList()) {
        const Value* id = entry.asMap() != nullptr ? entry.find("sourceId") : nullptr;
        if ((device = deviceWithId(devices, id))) {
          source_id = *id->asString();
          break;
        }
      }
    }
    const Value* facing = video->find("facingMode");
    if (!device && facing != nullptr && facing->asString() != nullptr) {
      facing_mode = *facing->asString();
      AVCaptureDevicePosition position = AVCaptureDevicePositionUnspecified;
      using_front_camera_ = *facing_mode == "user";
      if (*facing_mode == "environment") position = AVCaptureDevicePositionBack;
      if (*facing_mode == "user") position = AVCaptureDevicePositionFront;
      device = findDeviceForPosition(position);
    }
  }
  if (video != nullptr && video->isNumber()) {
    video_constraints = Value(ValueMap{{"mandatory", defaultVideoConstraints()}});
  }
  if (!device) device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);

  int64_t target_width = integerConstraint(&video_constraints, "width");
  int64_t target_height = integerConstraint(&video_constraints, "height");
  int64_t target_fps = integerConstraint(&video_constraints, "frameRate");
  if (const Value* mandatory = video_constraints.find("mandatory");
      mandatory != nullptr && mandatory->asMap() != nullptr) {
    const auto replace = [mandatory](const char* key, int64_t& target) {
      const Value* value = mandatory->find(key);
      if (value != nullptr && (value->isNumber() || value->asString() != nullptr) &&
          static_cast<int32_t>(value->intValue()) != 0) {
        target = static_cast<int32_t>(value->intValue());
      }
    };
    replace("minWidth", target_width);
    replace("minHeight", target_height);
    replace("minFrameRate", target_fps);
  }
  // A negative rate means no rate at all, as no target does; the capturer never sees one.
  target_fps = std::max<int64_t>(target_fps, 0);
  // No format within reach of the targets (a camera without formats, or targets near the 32-bit
  // edges): refuse before the running capture is touched.
  if (!device || !selectFormatForDevice(device, target_width, target_height)) {
    error("OverconstrainedError", std::nullopt);
    return;
  }

  auto video_source = peer_connection_factory_->videoSource();
  if (video_capturer_) video_capturer_->stopCapture();
  auto adapter = std::make_shared<VideoProcessingAdapter>(video_source);
  auto capturer = RTCCameraVideoCapturer::initWithDelegate(adapter);
  video_capturer_ = capturer;

  // Chosen again: equal distances now break toward the new capturer's preferred pixel format.
  const auto chosen = selectFormatForDevice(device, target_width, target_height);
  if (!chosen) {
    error("OverconstrainedError", std::nullopt);
    return;
  }
  const AVCaptureDeviceFormat format = *chosen;
  const int64_t fps = selectFpsForFormat(format, target_fps);
  last_target_fps_ = fps;
  last_target_width_ = target_width;
  last_target_height_ = target_height;
  NSLog("target format %ldx%ld, targetFps: %ld, selected format: %ldx%ld, selected fps %ld",
        long(target_width), long(target_height), long(target_fps), long(format.dimensions().width),
        long(format.dimensions().height), long(fps));

  NSError lock_error;
  if (device->lockForConfiguration(&lock_error)) {
    try {
      device->setActiveVideoMaxFrameDuration(CMTimeMake(1, static_cast<CMTimeScale>(fps)));
      device->setActiveVideoMinFrameDuration(CMTimeMake(1, static_cast<CMTimeScale>(fps)));
    } catch (const NSInvalidArgumentException& exception) {
      NSLog("Failed to set active frame rate!\n User info:%s", exception.userInfo().c_str());
    }
    device->unlockForConfiguration();
  }
  capturer->startCaptureWithDevice(device, format, static_cast<long>(fps),
                                   [](const std::optional<NSError>& start_error) {
                                     if (start_error) {
                                       NSLog("Start capture error: %s",
                                             start_error->localizedDescription.c_str());
                                     }
                                   });

  const std::string track_id = NSUUID().UUIDString();
  auto track = peer_connection_factory_->videoTrackWithSource(video_source, track_id);
  std::weak_ptr<RTCCameraVideoCapturer> weak_capturer = capturer;
  auto stop = [weak_capturer, track, track_id](std::function<void()> completion) {
    NSLog("Stop video capturer, trackID %s", track_id.c_str());
    auto stopping = weak_capturer.lock();
    // A capturer that is gone has nothing to stop; say so at once.
    if (!stopping) {
      if (completion) completion();
      return;
    }
    stopping->stopCaptureWithCompletionHandler(std::move(completion));
  };
  local_media_.addCapture(track_id, {std::move(stop), capturer});

  if (!source_id) source_id = device->uniqueID();
  const CMVideoDimensions size = format.dimensions();
  local_media_.setSettings(
      track_id,
      ValueMap{{"deviceId", *source_id},
               {"kind", "videoinput"},
               {"width", size.width},
               {"height", size.height},
               {"frameRate", static_cast<int32_t>(fps)},
               {"facingMode", facing_mode ? *facing_mode : facingModeOf(device->position())}});
  stream->addVideoTrack(track);
  local_media_.keepPipeline(track_id, adapter);
  local_media_.addTrack(track_id, std::make_shared<LocalVideoTrack>(track, adapter));
  success(stream);
}

}  // namespace webrtc_host
