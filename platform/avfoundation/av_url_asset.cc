#include "platform/avfoundation/av_url_asset.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/avfoundation/internal/media_backing.h"
#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/internal/media_probes.h"
#include "platform/dispatch/dispatch_queue.h"

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const NSURL& url, AVURLAssetOptions options) {
  return std::make_shared<AVURLAsset>(url, std::move(options));
}

void AVURLAsset::willLoadValues() {
  auto self = std::static_pointer_cast<AVURLAsset>(weak_from_this().lock());
  if (!self || !library_backed_ || probe_started_.exchange(true)) return;
  // Probing reads the file: never on the caller's (main) thread, and a few files at a time.
  avfoundation::internal::runProbe(
      [weak = std::weak_ptr<AVURLAsset>(self), gone = gone_] { loadFromLibrary(weak, gone); });
}

AVURLAsset::AVURLAsset(NSURL url, AVURLAssetOptions options)
    : url_(std::move(url)),
      options_(std::move(options)),
      library_backed_(avfoundation::internal::currentMediaBacking() ==
                      avfoundation::internal::MediaBacking::library) {}

AVURLAsset::~AVURLAsset() { gone_->store(true, std::memory_order_release); }

std::vector<AVAssetVariant> AVURLAsset::variants() const {
  std::lock_guard lock(content_mutex_);
  return variants_;
}

namespace {

// A file URL names a file of this machine only without a host or with "localhost"; any other
// host is another machine's file, which plays as a remote resource does.
bool namesLocalFile(const NSURL& url) {
  if (!url.isFileURL()) return false;
  const auto& host = url.host();
  if (!host || host->empty()) return true;
  return std::equal(host->begin(), host->end(), std::string_view("localhost").begin(),
                    std::string_view("localhost").end(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

std::string AVURLAsset::libraryFilePath() const {
  return library_backed_ && namesLocalFile(url_) ? url_.path() : std::string();
}

bool AVURLAsset::isSoundOnly() const {
  auto found = options_.find(AVURLAssetHostSoundOnlyKey);
  const bool* soundOnly = found != options_.end() ? std::any_cast<bool>(&found->second) : nullptr;
  return soundOnly != nullptr && *soundOnly;
}

void AVURLAsset::loadFromLibrary(const std::weak_ptr<AVURLAsset>& weak,
                                 std::shared_ptr<const std::atomic<bool>> gone) {
  std::string path;
  auto streams = avfoundation::internal::ProbedStreams::kPlayed;
  if (auto asset = weak.lock()) {
    path = asset->libraryFilePath();
    if (asset->isSoundOnly()) streams = avfoundation::internal::ProbedStreams::kAudioOnly;
  }
  using avfoundation::internal::MediaFile;
  NSError error = avfoundation::internal::offlineError();
  std::shared_ptr<const foundation::RegularFile> opened;
  std::unique_ptr<MediaFile> media;
  if (!path.empty()) opened = MediaFile::openFile(path, &error);
  if (opened) media = MediaFile::open(opened, &error, std::move(gone), streams);
  auto asset = weak.lock();
  if (!asset) return;
  if (!media) {
    asset->settleEveryKey(AVKeyValueStatusFailed, error);
    return;
  }
  auto probe = media->probe();
  media.reset();
  std::vector<std::shared_ptr<AVAssetTrack>> tracks;
  for (auto& properties : probe.tracks) {
    auto track = std::make_shared<AVAssetTrack>(std::move(properties));
    track->settleEveryKey(AVKeyValueStatusLoaded, std::nullopt);
    tracks.push_back(std::move(track));
  }
  {
    std::lock_guard lock(asset->content_mutex_);
    asset->duration_ = probe.duration;
    asset->library_identity_ = opened->identity();
    asset->library_file_ = opened;
    asset->tracks_ = std::move(tracks);
    asset->common_metadata_ = std::move(probe.commonMetadata);
  }
  asset->settleEveryKey(AVKeyValueStatusLoaded, std::nullopt);
}
