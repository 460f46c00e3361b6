#include "platform/avfoundation/av_asset.h"

#include "platform/dispatch/dispatch_queue.h"

CMTime AVAsset::duration() const {
  std::lock_guard lock(content_mutex_);
  return duration_;
}

std::vector<std::shared_ptr<AVAssetTrack>> AVAsset::tracks() const {
  std::lock_guard lock(content_mutex_);
  return tracks_;
}

std::vector<std::shared_ptr<AVAssetTrack>> AVAsset::tracksWithMediaType(
    const AVMediaType& mediaType) const {
  std::vector<std::shared_ptr<AVAssetTrack>> matching;
  for (auto& track : tracks()) {
    if (track->mediaType() == mediaType) matching.push_back(std::move(track));
  }
  return matching;
}

void AVAsset::loadTracksWithMediaType(const AVMediaType& mediaType,
                                      TracksCompletion completionHandler) {
  loadValuesAsynchronouslyForKeys(
      {"tracks"}, [self = shared_from_this(), mediaType,
                   completion = std::move(completionHandler)] {
        NSError error;
        if (self->statusOfValueForKey("tracks", &error) != AVKeyValueStatusLoaded) {
          completion(std::nullopt, error);
        } else {
          completion(self->tracksWithMediaType(mediaType), std::nullopt);
        }
      });
}

std::shared_ptr<const AVMediaSelectionGroup> AVAsset::mediaSelectionGroupForMediaCharacteristic(
    const std::string& characteristic) const {
  std::lock_guard lock(content_mutex_);
  auto found = groups_.find(characteristic);
  return found != groups_.end() ? found->second : nullptr;
}
