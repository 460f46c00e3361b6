#include "platform/avfoundation/av_url_asset.h"

#include "platform/avfoundation/internal/media_file.h"
#include "platform/dispatch/dispatch_queue.h"

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const NSURL& url, AVURLAssetOptions options) {
  auto asset = std::make_shared<AVURLAsset>(url, std::move(options));
  if (asset->backing_ == AVMediaBacking::library) {
    // Probing reads the file: never on the caller's (main) thread.
    dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)
        ->async([weak = std::weak_ptr<AVURLAsset>(asset)] { loadFromLibrary(weak); });
  }
  return asset;
}

AVURLAsset::AVURLAsset(NSURL url, AVURLAssetOptions options)
    : url_(std::move(url)), options_(std::move(options)), backing_(currentMediaBacking()) {}

std::vector<AVAssetVariant> AVURLAsset::variants() const {
  std::lock_guard lock(content_mutex_);
  return variants_;
}

std::string AVURLAsset::libraryFilePath() const {
  return backing_ == AVMediaBacking::library && url_.isFileURL() ? url_.path() : std::string();
}

void AVURLAsset::loadFromLibrary(const std::weak_ptr<AVURLAsset>& weak) {
  auto path = [&] {
    auto asset = weak.lock();
    return asset ? asset->libraryFilePath() : std::string();
  }();
  NSError error = avfoundation::internal::offlineError();
  std::unique_ptr<avfoundation::internal::MediaFile> file;
  if (!path.empty()) file = avfoundation::internal::MediaFile::open(path, &error);
  auto asset = weak.lock();
  if (!asset) return;
  if (!file) {
    asset->settleEveryKey(AVKeyValueStatusFailed, error);
    return;
  }
  auto probe = file->probe();
  file.reset();
  std::vector<std::shared_ptr<AVAssetTrack>> tracks;
  for (auto& properties : probe.tracks) {
    auto track = std::make_shared<AVAssetTrack>(std::move(properties));
    track->settleEveryKey(AVKeyValueStatusLoaded, std::nullopt);
    tracks.push_back(std::move(track));
  }
  {
    std::lock_guard lock(asset->content_mutex_);
    asset->duration_ = probe.duration;
    asset->tracks_ = std::move(tracks);
    asset->common_metadata_ = std::move(probe.commonMetadata);
  }
  asset->settleEveryKey(AVKeyValueStatusLoaded, std::nullopt);
}
