// The seams through which a player reaches AVFoundation and the host view, so that it can be
// built over substitutes: the factory of assets, items, players and video outputs, and thin
// views of the objects it makes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/ns_view.h"
#include "platform/avfoundation/avfoundation.h"

namespace movie_player_avfoundation {

class HVPAVAsset {
 public:
  virtual ~HVPAVAsset() = default;
  virtual AVKeyValueStatus statusOfValueForKey(const std::string& key, NSError* outError) = 0;
  virtual void loadValuesAsynchronouslyForKeys(std::vector<std::string> keys,
                                               std::function<void()> completion) = 0;
  virtual void loadTracksWithMediaType(const std::string& mediaType,
                                       AVAsset::TracksCompletion completion) = 0;
  virtual std::vector<std::shared_ptr<AVAssetTrack>> tracksWithMediaType(
      const std::string& mediaType) = 0;
  virtual CMTime duration() = 0;
};

class HVPAVPlayerItem {
 public:
  virtual ~HVPAVPlayerItem() = default;
  virtual std::shared_ptr<HVPAVAsset> asset() = 0;
  virtual void setVideoComposition(std::optional<AVMutableVideoComposition> composition) = 0;
};

// Where a texture's frames come from. Safe from any thread.
class HVPPixelBufferSource {
 public:
  virtual ~HVPPixelBufferSource() = default;
  virtual CMTime itemTimeForHostTime(double hostTimeInSeconds) = 0;
  virtual bool hasNewPixelBufferForItemTime(CMTime itemTime) = 0;
  virtual CVPixelBufferRef copyPixelBufferForItemTime(CMTime itemTime,
                                                      CMTime* itemTimeForDisplay) = 0;
  virtual std::shared_ptr<AVPlayerItemVideoOutput> videoOutput() = 0;
};

class HVPViewProvider {
 public:
  virtual ~HVPViewProvider() = default;
  // The Flutter host view; null when there is none.
  virtual std::shared_ptr<NSView> view() = 0;
};

class HVPAVFactory {
 public:
  virtual ~HVPAVFactory() = default;
  virtual std::shared_ptr<HVPAVAsset> URLAssetWithURL(const NSURL& url,
                                                      std::optional<AVURLAssetOptions> options) = 0;
  virtual std::shared_ptr<HVPAVPlayerItem> playerItemWithAsset(
      const std::shared_ptr<HVPAVAsset>& asset) = 0;
  virtual std::shared_ptr<AVPlayer> playerWithPlayerItem(
      const std::shared_ptr<HVPAVPlayerItem>& item) = 0;
  virtual std::shared_ptr<HVPPixelBufferSource> videoOutputWithOutputSettings(
      AVOutputSettings settings) = 0;
};

}  // namespace movie_player_avfoundation
