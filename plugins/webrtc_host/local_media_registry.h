// The local media the Dart side has made, by id: streams, the wrappers of their tracks, each
// track's settings, and what keeps a capturing track's frames coming and stops them.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_camera_video_capturer.h"
#include "platform/webrtc/rtc_media_stream.h"
#include "plugins/webrtc_host/local_track.h"
#include "plugins/webrtc_host/registry.h"
#include "plugins/webrtc_host/video_processing_adapter.h"

namespace webrtc_host {

class LocalMediaRegistry {
 public:
  // Stops a capturer, then calls the completion.
  using CapturerStopHandler = std::function<void(std::function<void()> completion)>;
  struct Capture {
    CapturerStopHandler stop;
    // The camera behind a camera track, to tell which one a stop concerns.
    std::weak_ptr<RTCCameraVideoCapturer> camera;
  };

  void addStream(const std::string& id, std::shared_ptr<RTCMediaStream> stream) {
    streams_.add(id, std::move(stream));
  }
  std::shared_ptr<RTCMediaStream> stream(const std::string& id) const { return streams_.find(id); }
  void removeStream(const std::string& id) { streams_.remove(id); }
  const Registry<std::string, RTCMediaStream>& streams() const { return streams_; }

  void addTrack(const std::string& id, std::shared_ptr<LocalTrack> track) {
    tracks_.add(id, std::move(track));
  }
  std::shared_ptr<LocalTrack> track(const std::string& id) const { return tracks_.find(id); }
  const Registry<std::string, LocalTrack>& tracks() const { return tracks_; }
  bool hasAudioTrack() const;
  // Forgets the track with its settings and the pipeline that fed it.
  void removeTrack(const std::string& id);

  void setSettings(const std::string& trackId, flutter::ValueMap settings) {
    settings_[trackId] = std::move(settings);
  }
  // Null when the track has none.
  const flutter::ValueMap* settings(const std::string& trackId) const;

  // Capturers hold their delegate weakly and listed wrappers carry none, so the adapter that
  // feeds a capturing track's source is kept here until the track goes.
  void keepPipeline(const std::string& trackId, std::shared_ptr<VideoProcessingAdapter> adapter) {
    pipelines_[trackId] = std::move(adapter);
  }

  void addCapture(const std::string& trackId, Capture capture) {
    captures_[trackId] = std::move(capture);
  }
  bool isCapturing(const std::string& trackId) const { return captures_.count(trackId) != 0; }
  std::size_t captureCount() const { return captures_.size(); }
  // A copy of the track's stop handler; empty when the track does not capture.
  CapturerStopHandler stopHandler(const std::string& trackId) const;
  // The track's capture, which is no longer kept; nullopt when the track does not capture.
  std::optional<Capture> takeCapture(const std::string& trackId);
  // Stops every capture without waiting and lets go of the pipelines.
  void stopAllCaptures();

  // Lets go of every track, its settings and every stream.
  void releaseTracksAndStreams();

 private:
  Registry<std::string, RTCMediaStream> streams_;
  Registry<std::string, LocalTrack> tracks_;
  std::map<std::string, flutter::ValueMap> settings_;
  std::map<std::string, std::shared_ptr<VideoProcessingAdapter>> pipelines_;
  std::map<std::string, Capture> captures_;
};

}  // namespace webrtc_host
