// The leaf that plays one URI (a progressive file, an HLS or DASH stream, or a local file).
// Positions and durations count from the start of the item's last seekable range, so a live
// stream's window starts at zero.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "plugins/playlist_audio/indexed_audio_source.h"
#include "plugins/playlist_audio/load_control.h"

namespace playlist_audio {

using HttpHeaders = std::map<std::string, std::string>;

class UriAudioSource : public IndexedAudioSource {
 public:
  // Raises AudioPlayerException when no URL can be made from `uri`.
  static std::shared_ptr<UriAudioSource> create(std::string sourceId, std::string uri,
                                                std::shared_ptr<LoadControl> loadControl,
                                                std::optional<HttpHeaders> headers,
                                                flutter::Value options);

  const std::string& uri() const { return uri_; }

  std::shared_ptr<IndexedPlayerItem> playerItem() const override { return player_item_; }
  std::shared_ptr<IndexedPlayerItem> playerItem2() const override { return player_item2_; }

  void seek(CMTime position, SeekCompletion completion) override;
  void flip() override { std::swap(player_item_, player_item2_); }
  void preparePlayerItem2() override;
  CMTime startOf(const AVPlayerItem& item) const override;
  CMTime duration() const override;
  CMTime position() const override;
  CMTime bufferedPosition() const override;
  void applyCanUseNetworkResourcesForLiveStreamingWhilePaused() override;
  void applyPreferredPeakBitRate() override;

  UriAudioSource(std::string sourceId, std::string uri, std::shared_ptr<LoadControl> loadControl,
                 std::optional<HttpHeaders> headers, flutter::Value options);

 private:
  // A new item for the URI with the asset options worked out from the stored headers and
  // options (which stay as the Dart side sent them), and the buffering options applied.
  std::shared_ptr<IndexedPlayerItem> createPlayerItem() const;
  void applyBufferingOptions(IndexedPlayerItem& item) const;
  // The start of the item's last seekable range, or zero.
  CMTime seekableOffset() const;

  std::string uri_;
  std::shared_ptr<LoadControl> load_control_;
  std::optional<HttpHeaders> headers_;
  flutter::Value options_;
  std::shared_ptr<IndexedPlayerItem> player_item_;
  std::shared_ptr<IndexedPlayerItem> player_item2_;
};

}  // namespace playlist_audio
