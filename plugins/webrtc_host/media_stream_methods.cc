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
  local_streams_[stream_id] = stream;
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
    local_tracks_[track->trackId()] = std::make_shared<LocalAudioTrack>(track);
    audio.push_back(localTrackMap(*track));
  }
  ValueList video;
  for (const auto& track : stream->videoTracks()) {
    local_tracks_[track->trackId()] = std::make_shared<LocalVideoTrack>(track);
    video.push_back(localTrackMap(*track));
  }
  result(ValueMap{{"audioTracks", std::move(audio)}, {"videoTracks", std::move(video)}});
}

void WebRTCHostPlugin::handleMediaStreamAddTrack(const FlutterMethodCall& call,
                                                 FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto stream = local_streams_.find(arguments.string("streamId"));
  if (stream == local_streams_.end()) {
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
    stream->second->addAudioTrack(audio);
  } else if (auto video = std::dynamic_pointer_cast<RTCVideoTrack>(track)) {
    stream->second->addVideoTrack(video);
  }
  result(nullptr);
}

void WebRTCHostPlugin::handleMediaStreamRemoveTrack(const FlutterMethodCall& call,
                                                    FlutterResult result) {
  const Arguments arguments(call.arguments);
  auto stream = local_streams_.find(arguments.string("streamId"));
  if (stream == local_streams_.end()) {
    result(codeOnly("mediaStreamRemoveTrack: Stream is nil"));
    return;
  }
  auto wrapper = arguments.optionalString("trackId")
                     ? local_tracks_.find(arguments.string("trackId"))
                     : local_tracks_.end();
  if (wrapper == local_tracks_.end()) {
    result(codeOnly("mediaStreamRemoveTrack: Track is nil"));
    return;
  }
  if (auto* audio = dynamic_cast<LocalAudioTrack*>(wrapper->second.get())) {
    stream->second->removeAudioTrack(audio->audioTrack());
  } else if (auto* video = dynamic_cast<LocalVideoTrack*>(wrapper->second.get())) {
    stream->second->removeVideoTrack(video->videoTrack());
  }
  result(nullptr);
}

bool WebRTCHostPlugin::stopCapturerOfTrack(const std::string& trackId, bool forgetCapturer,
                                           std::function<void()> completion) {
  auto handler = video_capturer_stop_handlers_.find(trackId);
  if (handler == video_capturer_stop_handlers_.end()) return false;
  CapturerStopHandler stop = std::move(handler->second);
  video_capturer_stop_handlers_.erase(handler);
  std::weak_ptr<RTCCameraVideoCapturer> stopped;
  if (auto camera = camera_capturers_.find(trackId); camera != camera_capturers_.end()) {
    stopped = camera->second;
    camera_capturers_.erase(camera);
  }
  std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();
  stop([weak, stopped, trackId, forgetCapturer, completion = std::move(completion)] {
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
  auto found = local_streams_.find(stream_id);
  if (found == local_streams_.end()) {
    result(nullptr);
    return;
  }
  auto stream = found->second;
  // One answer, after the last capturer of the stream has stopped.
  auto pending = std::make_shared<size_t>(0);
  std::vector<std::string> stopping;
  for (const auto& track : stream->videoTracks()) {
    local_tracks_.erase(track->trackId());
    track_settings_.erase(track->trackId());
    capture_pipelines_.erase(track->trackId());
    if (auto renderer = findRendererByTrackId(track->trackId())) renderer->setVideoTrack(nullptr);
    if (video_capturer_stop_handlers_.count(track->trackId()) != 0) {
      stopping.push_back(track->trackId());
    }
  }
  for (const auto& track : stream->audioTracks()) {
    local_tracks_.erase(track->trackId());
    track_settings_.erase(track->trackId());
  }
  local_streams_.erase(stream_id);
  abandonCapturesOfDisposedTracks();
  deactiveRtcAudioSession();
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
  bool removed_audio = false;
  for (const auto& [id, stream] : local_streams_) {
    for (const auto& track : stream->audioTracks()) {
      if (track->trackId() != *track_id) continue;
      stream->removeAudioTrack(track);
      removed_audio = true;
    }
    for (const auto& track : stream->videoTracks()) {
      if (track->trackId() == *track_id) stream->removeVideoTrack(track);
    }
  }
  // A camera track stops capturing even when no stream holds it any more.
  stopCapturerOfTrack(*track_id, false, nullptr);
  local_tracks_.erase(*track_id);
  track_settings_.erase(*track_id);
  capture_pipelines_.erase(*track_id);
  if (removed_audio) ensureAudioSession();
  if (auto renderer = findRendererByTrackId(*track_id)) renderer->setVideoTrack(nullptr);
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
  auto found = local_tracks_.find(arguments.string("trackId"));
  if (found != local_tracks_.end()) {
    if (auto* audio = dynamic_cast<LocalAudioTrack*>(found->second.get())) {
      audio->audioTrack()->setIsEnabled(!arguments.boolValue("mute"));
    }
  }
  result(nullptr);
}

std::shared_ptr<HostRTCVideoRenderer> WebRTCHostPlugin::findRendererByTrackId(
    const std::string& trackId) const {
  for (const auto& [id, renderer] : renders_) {
    auto track = renderer->videoTrack();
    if (track && track->trackId() == trackId) return renderer;
  }
  return nullptr;
}

}  // namespace webrtc_host
