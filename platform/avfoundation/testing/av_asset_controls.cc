#include "platform/avfoundation/testing/av_asset_controls.h"

struct AVAssetModel {
  template <typename Set>
  static void edit(AVAsset& asset, Set set) {
    std::lock_guard lock(asset.content_mutex_);
    set();
  }
  static void setDuration(AVAsset& asset, CMTime duration) {
    edit(asset, [&] { asset.duration_ = duration; });
  }
  static void setTracks(AVAsset& asset, std::vector<std::shared_ptr<AVAssetTrack>> tracks) {
    edit(asset, [&] { asset.tracks_ = std::move(tracks); });
  }
  static void setGroup(AVAsset& asset, const std::string& characteristic,
                       std::shared_ptr<const AVMediaSelectionGroup> group) {
    edit(asset, [&] { asset.groups_[characteristic] = std::move(group); });
  }
  static void setVariants(AVURLAsset& asset, std::vector<AVAssetVariant> variants) {
    edit(asset, [&] { asset.variants_ = std::move(variants); });
  }
};

struct AVKeyValueLoadingModel {
  static void settle(AVAsynchronousKeyValueLoading& loading, const std::string& key,
                     AVKeyValueStatus status, std::optional<NSError> error) {
    loading.settle(key, status, std::move(error));
  }
};

namespace avfoundation::testing {

bool modelChosenForControls();
namespace {
// Linking these controls means tests drive the media: the model backs new assets.
[[maybe_unused]] const bool kModelChosen = modelChosenForControls();
}  // namespace

void setAssetDuration(AVAsset& asset, CMTime duration) { AVAssetModel::setDuration(asset, duration); }

void setAssetTracks(AVAsset& asset, std::vector<std::shared_ptr<AVAssetTrack>> tracks) {
  AVAssetModel::setTracks(asset, std::move(tracks));
}

void setMediaSelectionGroup(AVAsset& asset, const std::string& characteristic,
                            std::shared_ptr<const AVMediaSelectionGroup> group) {
  AVAssetModel::setGroup(asset, characteristic, std::move(group));
}

void setVariants(AVURLAsset& asset, std::vector<AVAssetVariant> variants) {
  AVAssetModel::setVariants(asset, std::move(variants));
}

void finishLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key) {
  AVKeyValueLoadingModel::settle(loading, key, AVKeyValueStatusLoaded, std::nullopt);
}

void failLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key,
                    const NSError& error) {
  AVKeyValueLoadingModel::settle(loading, key, AVKeyValueStatusFailed, error);
}

void cancelLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key) {
  AVKeyValueLoadingModel::settle(loading, key, AVKeyValueStatusCancelled, std::nullopt);
}

}  // namespace avfoundation::testing
