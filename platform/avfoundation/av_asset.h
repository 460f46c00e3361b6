// Assets: timed media with tracks, a duration and media-selection groups. Their values load on
// demand (keys "tracks", "duration", "availableMediaCharacteristicsWithMediaSelectionOptions",
// "variants"); the stand-in's content is what the test controls give it. Safe from any thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset_track.h"
#include "platform/avfoundation/av_asynchronous_key_value_loading.h"
#include "platform/avfoundation/av_media_format.h"
#include "platform/avfoundation/av_media_selection.h"
#include "platform/avfoundation/av_metadata_item.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/foundation/ns_error.h"

class AVAsset : public AVAsynchronousKeyValueLoading,
                public std::enable_shared_from_this<AVAsset> {
 public:
  using TracksCompletion = std::function<void(std::optional<std::vector<std::shared_ptr<AVAssetTrack>>>,
                                              std::optional<NSError>)>;

  CMTime duration() const;
  std::vector<std::shared_ptr<AVAssetTrack>> tracks() const;
  // Loaded under the key "commonMetadata".
  std::vector<AVMetadataItem> commonMetadata() const;
  std::vector<std::shared_ptr<AVAssetTrack>> tracksWithMediaType(const AVMediaType& mediaType) const;
  // Loads "tracks" and answers those of the type on a background queue: the list, or the error
  // the load failed with.
  void loadTracksWithMediaType(const AVMediaType& mediaType, TracksCompletion completionHandler);
  // Null when the asset offers no group for the characteristic.
  std::shared_ptr<const AVMediaSelectionGroup> mediaSelectionGroupForMediaCharacteristic(
      const std::string& characteristic) const;
  // Cancels the loads in progress on the asset and its tracks: their keys become cancelled and
  // every pending completion runs. Completions hold what they captured until they run, so an
  // owner that stops caring cancels rather than waits.
  void cancelLoading();

 protected:
  mutable std::mutex content_mutex_;

 private:
  friend struct AVAssetModel;
  friend class AVURLAsset;
  CMTime duration_ = kCMTimeZero;
  std::vector<AVMetadataItem> common_metadata_;
  std::vector<std::shared_ptr<AVAssetTrack>> tracks_;
  std::map<std::string, std::shared_ptr<const AVMediaSelectionGroup>> groups_;
};
