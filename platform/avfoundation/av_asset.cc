#include "platform/avfoundation/av_asset.h"

#include "platform/dispatch/dispatch_queue.h"

namespace {

// NSUserCancelledError: what a load that ends by cancellation reports.
constexpr long kAVLoadingCancelledCode = 3072;

}  // namespace

CMTime AVAsset::duration() const {
  std::lock_guard lock(content_mutex_);
  return duration_;
}

std::vector<std::shared_ptr<AVAssetTrack>> AVAsset::tracks() const {
  std::lock_guard lock(content_mutex_);
  return tracks_;
}

std::vector<AVMetadataItem> AVAsset::commonMetadata() const {
  std::lock_guard lock(content_mutex_);
  return common_metadata_;
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
  // The load is stored by this asset: holding it strongly would keep it alive while pending.
  loadValuesAsynchronouslyForKeys(
      {"tracks"}, [weak = weak_from_this(), mediaType, completion = std::move(completionHandler)] {
        auto self = weak.lock();
        NSError error{NSCocoaErrorDomain, kAVLoadingCancelledCode, "The operation was cancelled."};
        if (!self || self->statusOfValueForKey("tracks", &error) != AVKeyValueStatusLoaded) {
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

void AVAsset::cancelLoading() {
  cancelPendingLoads();
  for (const auto& track : tracks()) track->cancelLoading();
}
