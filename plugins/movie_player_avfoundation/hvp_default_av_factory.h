// The factory and views over the real AVFoundation objects: thin forwarders, each holding the one
// object it forwards to.
#pragma once

#include <memory>

#include "platform/flutter/flutter_plugin.h"
#include "platform/flutter/flutter_view_controller.h"
#include "plugins/movie_player_avfoundation/hvp_av_factory.h"

namespace movie_player_avfoundation {

class HVPDefaultAVAsset final : public HVPAVAsset {
 public:
  explicit HVPDefaultAVAsset(std::shared_ptr<AVAsset> asset) : asset_(std::move(asset)) {}
  const std::shared_ptr<AVAsset>& avAsset() const { return asset_; }

  AVKeyValueStatus statusOfValueForKey(const std::string& key, NSError* outError) override;
  void loadValuesAsynchronouslyForKeys(std::vector<std::string> keys,
                                       std::function<void()> completion) override;
  void loadTracksWithMediaType(const std::string& mediaType,
                               AVAsset::TracksCompletion completion) override;
  std::vector<std::shared_ptr<AVAssetTrack>> tracksWithMediaType(
      const std::string& mediaType) override;
  // The zero time for an absent asset.
  CMTime duration() override;

 private:
  std::shared_ptr<AVAsset> asset_;
};

class HVPDefaultAVPlayerItem final : public HVPAVPlayerItem {
 public:
  explicit HVPDefaultAVPlayerItem(std::shared_ptr<AVPlayerItem> item) : item_(std::move(item)) {}
  const std::shared_ptr<AVPlayerItem>& playerItem() const { return item_; }

  // A new view of the item's asset on every call.
  std::shared_ptr<HVPAVAsset> asset() override;
  void setVideoComposition(std::optional<AVMutableVideoComposition> composition) override;

 private:
  std::shared_ptr<AVPlayerItem> item_;
};

class HVPDefaultAVPlayerItemVideoOutput final : public HVPPixelBufferSource {
 public:
  explicit HVPDefaultAVPlayerItemVideoOutput(AVOutputSettings settings)
      : output_(std::make_shared<AVPlayerItemVideoOutput>(std::move(settings))) {}

  CMTime itemTimeForHostTime(double hostTimeInSeconds) override;
  bool hasNewPixelBufferForItemTime(CMTime itemTime) override;
  CVPixelBufferRef copyPixelBufferForItemTime(CMTime itemTime, CMTime* itemTimeForDisplay) override;
  std::shared_ptr<AVPlayerItemVideoOutput> videoOutput() override { return output_; }

 private:
  std::shared_ptr<AVPlayerItemVideoOutput> output_;
};

class HVPDefaultAVFactory final : public HVPAVFactory {
 public:
  std::shared_ptr<HVPAVAsset> URLAssetWithURL(const NSURL& url,
                                              std::optional<AVURLAssetOptions> options) override;
  std::shared_ptr<HVPAVPlayerItem> playerItemWithAsset(
      const std::shared_ptr<HVPAVAsset>& asset) override;
  std::shared_ptr<AVPlayer> playerWithPlayerItem(
      const std::shared_ptr<HVPAVPlayerItem>& item) override;
  std::shared_ptr<HVPPixelBufferSource> videoOutputWithOutputSettings(
      AVOutputSettings settings) override;
};

// The registrar's view: the view of its view controller, kept weakly (the controller owns the
// engine that holds the plug-in).
class HVPDefaultViewProvider final : public HVPViewProvider {
 public:
  explicit HVPDefaultViewProvider(FlutterPluginRegistrar& registrar)
      : view_controller_(registrar.viewController()) {}
  std::shared_ptr<NSView> view() override {
    auto controller = view_controller_.lock();
    return controller ? controller->view() : nullptr;
  }

 private:
  std::weak_ptr<FlutterViewController> view_controller_;
};

}  // namespace movie_player_avfoundation
