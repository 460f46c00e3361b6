#include "plugins/movie_player_avfoundation/hvp_default_av_factory.h"

namespace movie_player_avfoundation {

AVKeyValueStatus HVPDefaultAVAsset::statusOfValueForKey(const std::string& key, NSError* outError) {
  return asset_ ? asset_->statusOfValueForKey(key, outError) : AVKeyValueStatusUnknown;
}

void HVPDefaultAVAsset::loadValuesAsynchronouslyForKeys(std::vector<std::string> keys,
                                                        std::function<void()> completion) {
  if (asset_) asset_->loadValuesAsynchronouslyForKeys(std::move(keys), std::move(completion));
}

void HVPDefaultAVAsset::loadTracksWithMediaType(const std::string& mediaType,
                                                AVAsset::TracksCompletion completion) {
  if (asset_) asset_->loadTracksWithMediaType(mediaType, std::move(completion));
}

std::vector<std::shared_ptr<AVAssetTrack>> HVPDefaultAVAsset::tracksWithMediaType(
    const std::string& mediaType) {
  return asset_ ? asset_->tracksWithMediaType(mediaType)
                : std::vector<std::shared_ptr<AVAssetTrack>>{};
}

CMTime HVPDefaultAVAsset::duration() { return asset_ ? asset_->duration() : kCMTimeZero; }

std::shared_ptr<HVPAVAsset> HVPDefaultAVPlayerItem::asset() {
  return std::make_shared<HVPDefaultAVAsset>(item_ ? item_->asset() : nullptr);
}

void HVPDefaultAVPlayerItem::setVideoComposition(
    std::optional<AVMutableVideoComposition> composition) {
  if (item_) item_->setVideoComposition(std::move(composition));
}

CMTime HVPDefaultAVPlayerItemVideoOutput::itemTimeForHostTime(double hostTimeInSeconds) {
  return output_->itemTimeForHostTime(hostTimeInSeconds);
}

bool HVPDefaultAVPlayerItemVideoOutput::hasNewPixelBufferForItemTime(CMTime itemTime) {
  return output_->hasNewPixelBufferForItemTime(itemTime);
}

CVPixelBufferRef HVPDefaultAVPlayerItemVideoOutput::copyPixelBufferForItemTime(
    CMTime itemTime, CMTime* itemTimeForDisplay) {
  return output_->copyPixelBufferForItemTime(itemTime, itemTimeForDisplay);
}

std::shared_ptr<HVPAVAsset> HVPDefaultAVFactory::URLAssetWithURL(
    const NSURL& url, std::optional<AVURLAssetOptions> options) {
  return std::make_shared<HVPDefaultAVAsset>(
      AVURLAsset::URLAssetWithURL(url, options.value_or(AVURLAssetOptions{})));
}

std::shared_ptr<HVPAVPlayerItem> HVPDefaultAVFactory::playerItemWithAsset(
    const std::shared_ptr<HVPAVAsset>& asset) {
  auto wrapped = std::dynamic_pointer_cast<HVPDefaultAVAsset>(asset);
  auto urlAsset = wrapped ? std::dynamic_pointer_cast<AVURLAsset>(wrapped->avAsset()) : nullptr;
  return std::make_shared<HVPDefaultAVPlayerItem>(AVPlayerItem::playerItemWithAsset(urlAsset));
}

std::shared_ptr<AVPlayer> HVPDefaultAVFactory::playerWithPlayerItem(
    const std::shared_ptr<HVPAVPlayerItem>& item) {
  auto wrapped = std::dynamic_pointer_cast<HVPDefaultAVPlayerItem>(item);
  return AVPlayer::playerWithPlayerItem(wrapped ? wrapped->playerItem() : nullptr);
}

std::shared_ptr<HVPPixelBufferSource> HVPDefaultAVFactory::videoOutputWithOutputSettings(
    AVOutputSettings settings) {
  return std::make_shared<HVPDefaultAVPlayerItemVideoOutput>(std::move(settings));
}

}  // namespace movie_player_avfoundation
