// The player's track operations: the audible options of the asset, and the variants of a stream
// with the one the item's bit-rate cap selects.
#include "platform/dispatch/dispatch_queue.h"
#include "platform/foundation/ns_process_info.h"
#include "plugins/movie_player_avfoundation/hvp_track_selection.h"
#include "plugins/movie_player_avfoundation/hvp_video_player.h"

namespace movie_player_avfoundation {
namespace {

std::shared_ptr<const AVMediaSelectionGroup> audibleGroup(const AVPlayerItem& item) {
  if (!item.asset()) return nullptr;
  return item.asset()->mediaSelectionGroupForMediaCharacteristic(AVMediaCharacteristicAudible);
}

std::optional<std::string> titleOf(const AVMediaSelectionOption& option) {
  auto titles = AVMetadataItem::metadataItemsFromArray(option.commonMetadata,
                                                       AVMetadataCommonKeyTitle,
                                                       AVMetadataKeySpaceCommon);
  return titles.empty() ? std::nullopt : titles.front().stringValue();
}

}  // namespace

std::vector<HVPMediaSelectionAudioTrackData> HVPVideoPlayer::getAudioTracks() {
  std::vector<HVPMediaSelectionAudioTrackData> tracks;
  // The item exists until disposal; a disposed player has no tracks to list.
  auto item = player_->currentItem();
  auto group = item ? audibleGroup(*item) : nullptr;
  if (!group) return tracks;
  auto selected = item->currentMediaSelection().selectedMediaOptionInMediaSelectionGroup(*group);
  for (size_t i = 0; i < group->options.size(); ++i) {
    const auto& option = group->options[i];
    HVPMediaSelectionAudioTrackData track;
    track.index = static_cast<int64_t>(i);
    track.displayName = option->displayName;
    track.languageCode = option->localeLanguageCode;
    track.isSelected = selected != nullptr && selected == option;
    track.commonMetadataTitle = titleOf(*option);
    tracks.push_back(std::move(track));
  }
  return tracks;
}

HVPVideoPlayer::Status HVPVideoPlayer::selectAudioTrackAtIndex(int64_t index) {
  auto item = player_->currentItem();
  auto group = item ? audibleGroup(*item) : nullptr;
  if (group && index >= 0 && static_cast<uint64_t>(index) < group->options.size()) {
    item->selectMediaOption(group->options[static_cast<size_t>(index)], *group);
  }
  return std::nullopt;
}

void HVPVideoPlayer::getVideoTracks(
    std::function<void(std::optional<HVPNativeVideoTrackData>, Status)> completion) {
  auto item = player_->currentItem();
  std::shared_ptr<AVURLAsset> asset = item ? item->asset() : nullptr;
  if (!asset || !NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({12, 0, 0})) {
    completion(std::nullopt, std::nullopt);
    return;
  }
  // The load is stored by the asset it loads: held weakly, the asset and its item go with their
  // player. Whatever ends the load (loaded, failed, cancelled at disposal) answers the call.
  asset->loadValuesAsynchronouslyForKeys(
      {"variants"}, [weakItem = std::weak_ptr<AVPlayerItem>(item),
                     weakAsset = std::weak_ptr<AVURLAsset>(asset), completion] {
        dispatch_get_main_queue()->async([weakItem, weakAsset, completion] {
          HVPNativeVideoTrackData data;
          data.mediaSelectionTracks.emplace();
          auto item = weakItem.lock();
          auto asset = weakAsset.lock();
          if (item && asset &&
              asset->statusOfValueForKey("variants", nullptr) == AVKeyValueStatusLoaded) {
            data.mediaSelectionTracks =
                videoTrackDataForVariants(asset->variants(), item->preferredPeakBitRate());
          }
          completion(std::move(data), std::nullopt);
        });
      });
}

HVPVideoPlayer::Status HVPVideoPlayer::selectVideoTrackWithBitrate(int64_t bitrate) {
  if (auto item = player_->currentItem()) {
    item->setPreferredPeakBitRate(static_cast<double>(bitrate));
  }
  return std::nullopt;
}

}  // namespace movie_player_avfoundation
