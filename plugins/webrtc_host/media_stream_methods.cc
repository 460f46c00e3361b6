// Local media streams and tracks: creating, listing, editing and disposing of them.
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_uuid.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/local_audio_track.h"
#include "plugins/webrtc_host/local_video_track.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

Value localTrackMap(const RTCMediaStreamTrack& track) {
  return ValueMap{{"id", track.trackId()},      {"label", track.trackId()},
                  {"kind", track.kind()},       {"enabled", track.isEnabled()},
                  {"readyState", "live"},       {"remote", false}};
}

}  // namespace

void WebRTCHostPlugin::handleCreateLocalMediaStream(const FlutterMethodCall& call,
                                                    FlutterResult result) {
  if (!peer_connection_factory_) {
    result(failedError(call.method, "Error: call initialize before createLocalMediaStream"));
    return;
  }
  const std::string stream_id = NSUUID().UUIDString();
  auto stream = peer_connection_factory_->mediaStreamWithStreamId(stream_id);
  local_media_.addStream(stream_id, stream);
  result(ValueMap{{"streamId", stream->streamId()}});
}

void WebRTCHostPlugin::handleMediaStreamGetTracks(const FlutterMethodCall& call,
                                                  FlutterResult result) {
  auto stream = streamForId(Arguments(call.arguments).string("streamId"), "");
  if (!stream) {
    result(nullptr);
    return;
  }
  ValueList audio;
  for (const auto& track : stream->audioTracks()) {
    local_media_.addTrack(track->trackId(), std::make_shared<LocalAudioTrack>(track));
    audio.push_back(localTrackMap(*track));
  }
  ValueList video;
  for (const auto& track : stream->videoTracks()) {
    local_media_.addTrack(track->trackId(), std::make_shared<LocalVideoTrack>(track));
    video.push_back(localTrackMap(*track));
  }
  result(ValueMap{{"audioTracks", std::move(audio)}, {"videoTracks", std::move(video)}});
}

void WebRTCHostPlugin::handleMediaStreamAddTrack(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto stream = local_media_.stream(arguments.string("streamId"));
  if (!stream) {
    result(codeOnly("mediaStreamAddTrack: Stream is nil"));
    return;
  }
  auto track = arguments.optionalString("trackId")
                   ? trackForId(arguments.string("trackId"), std::nullopt)
                   : nullptr;
  if (!track) {
    result(codeOnly("mediaStreamAddTrack: Track is nil"));
    return;
  }
  if (auto audio = std::dynamic_pointer_cast<RTCAudioTrack>(track)) {
    stream->addAudioTrack(audio);
  } else if (auto video = std::dynamic_pointer_cast<RTCVideoTrack>(track)) {
    stream->addVideoTrack(video);
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleMediaStreamRemoveTrack(const FlutterMethodCall& call,
                                                    FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto stream = local_media_.stream(arguments.string("streamId"));
  if (!stream) {
    result(codeOnly("mediaStreamRemoveTrack: Stream is nil"));
    return;
  }
  auto wrapper = arguments.optionalString("trackId")
                     ? local_media_.track(arguments.string("trackId"))
                     : nullptr;
  if (!wrapper) {
    result(codeOnly("mediaStreamRemoveTrack: Track is nil"));
    return;
  }
  if (auto* audio = dynamic_cast<LocalAudioTrack*>(wrapper.get())) {
    stream->removeAudioTrack(audio->audioTrack());
  } else if (auto* video = dynamic_cast<LocalVideoTrack*>(wrapper.get())) {
    stream->removeVideoTrack(video->videoTrack());
  }
  result(nullptr);
}

bool WebRTCHostPlugin::stopCapturerOfTrack(const std::string& trackId, bool forgetCapturer,
                                           std::function<void()> completion) {
  auto capture = local_media_.takeCapture(trackId);
  if (!capture) return false;
  auto stopped = capture->camera;
  std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();
  capture->stop([weak, stopped, trackId, forgetCapturer, completion = std::move(completion)] {
    // Capturers report on their own threads; the plug-in's state belongs to the main thread.
    dispatch_async(dispatch_get_main_queue(), [weak, stopped, trackId, forgetCapturer,
                                               completion] {
      NSLog("video capturer stopped, trackID = %s", trackId.c_str());
      // Disposing one track leaves the capturer named; disposing its stream forgets it.
      if (auto self = forgetCapturer ? weak.lock() : nullptr) {
        // Only the capturer that stopped is forgotten, never a newer one.
        auto capturer = stopped.lock();
        if (capturer && capturer == self->video_capturer_) self->video_capturer_.reset();
      }
      if (completion) completion();
    });
  });
  return true;
}

void WebRTCHostPlugin::handleStreamDispose(const FlutterMethodCall& call, FlutterResult result) {
  const std::string stream_id = Arguments(call.arguments).string("streamId");
  auto stream = local_media_.stream(stream_id);
  if (!stream) {
    result(nullptr);
    return;
  }
  // One answer, after the last capturer of the stream has stopped.
  auto pending = std::make_shared<size_t>(0);
  std::vector<std::string> stopping;
  for (const auto& track : stream->videoTracks()) {
    local_media_.removeTrack(track->trackId());
    if (auto renderer = renderers_.rendererOfTrack(track->trackId())) {
      renderer->setVideoTrack(nullptr);
    }
    if (local_media_.isCapturing(track->trackId())) stopping.push_back(track->trackId());
  }
  for (const auto& track : stream->audioTracks()) local_media_.removeTrack(track->trackId());
  local_media_.removeStream(stream_id);
  abandonCapturesOfDisposedTracks();
  if (stopping.empty()) {
    result(nullptr);
    return;
  }
  *pending = stopping.size();
  for (const auto& track_id : stopping) {
    stopCapturerOfTrack(track_id, true, [pending, result] {
      if (--*pending == 0) result(nullptr);
    });
  }
}

void WebRTCHostPlugin::handleTrackDispose(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  const auto track_id = arguments.optionalString("trackId");
  if (!track_id) {
    result(nullptr);
    return;
  }
  for (const auto& [id, stream] : local_media_.streams()) {
    for (const auto& track : stream->audioTracks()) {
      if (track->trackId() == *track_id) stream->removeAudioTrack(track);
    }
    for (const auto& track : stream->videoTracks()) {
      if (track->trackId() == *track_id) stream->removeVideoTrack(track);
    }
  }
  // A camera track stops capturing even when no stream holds it any more.
  stopCapturerOfTrack(*track_id, false, nullptr);
  local_media_.removeTrack(*track_id);
  if (auto renderer = renderers_.rendererOfTrack(*track_id)) renderer->setVideoTrack(nullptr);
  abandonCapturesOfDisposedTracks();
  result(nullptr);
}

void WebRTCHostPlugin::handleMediaStreamTrackSetEnable(const FlutterMethodCall& call,
                                                       FlutterResult result) {
  const Arguments arguments(call.arguments);
  if (auto track = trackForId(arguments.string("trackId"),
                              arguments.optionalString("peerConnectionId"))) {
    track->setIsEnabled(arguments.boolValue("enabled"));
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleSetVolume(const FlutterMethodCall& call, FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto track = trackForId(arguments.string("trackId"),
                          arguments.optionalString("peerConnectionId"));
  if (auto audio = std::dynamic_pointer_cast<RTCAudioTrack>(track); audio && audio->source()) {
    audio->source()->setVolume(arguments.doubleValue("volume"));
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleSetMicrophoneMute(const FlutterMethodCall& call,
                                               FlutterResult result) {
  const Arguments arguments(call.arguments);
  if (auto* audio =
          dynamic_cast<LocalAudioTrack*>(local_media_.track(arguments.string("trackId")).get())) {
    audio->audioTrack()->setIsEnabled(!arguments.boolValue("mute"));
  }
  result(nullptr);
}

}  // namespace webrtc_host
