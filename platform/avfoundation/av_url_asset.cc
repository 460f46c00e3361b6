#include "platform/avfoundation/av_url_asset.h"

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const NSURL& url, AVURLAssetOptions options) {
  return std::make_shared<AVURLAsset>(url, std::move(options));
}

AVURLAsset::AVURLAsset(NSURL url, AVURLAssetOptions options)
    : url_(std::move(url)), options_(std::move(options)) {}

std::vector<AVAssetVariant> AVURLAsset::variants() const {
  std::lock_guard lock(content_mutex_);
  return variants_;
}
