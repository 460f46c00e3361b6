// The leaf that plays a time window of a URI source, through the URI source's own items:
// position 0 of the clip is its start in the child.
#pragma once

#include <memory>

#include "plugins/playlist_audio/uri_audio_source.h"

namespace playlist_audio {

class ClippingAudioSource : public IndexedAudioSource {
 public:
  // `end` invalid: play to the child's end.
  ClippingAudioSource(std::string sourceId, std::shared_ptr<UriAudioSource> audioSource,
                      CMTime start, CMTime end);

  const std::shared_ptr<UriAudioSource>& audioSource() const { return audio_source_; }

  bool lazyLoading() const override { return audio_source_->lazyLoading(); }
  void setLazyLoading(bool lazyLoading) override { audio_source_->setLazyLoading(lazyLoading); }
  // The clip and the URI source it clips.
  SourceTreeSize size() const override { return {1, 2, 2}; }
  void findById(const std::string& sourceId,
                std::vector<std::shared_ptr<AudioSource>>& matches) override;
  std::shared_ptr<IndexedPlayerItem> playerItem() const override {
    return audio_source_->playerItem();
  }
  std::shared_ptr<IndexedPlayerItem> playerItem2() const override {
    return audio_source_->playerItem2();
  }

  void attach(AVQueuePlayer& player, CMTime initialPos) override;
  void seek(CMTime position, SeekCompletion completion) override;
  void flip() override { audio_source_->flip(); }
  void preparePlayerItem2() override;
  CMTime startOf(const AVPlayerItem& /*item*/) const override { return start_; }
  CMTime duration() const override;
  CMTime position() const override;
  CMTime bufferedPosition() const override;
  void applyCanUseNetworkResourcesForLiveStreamingWhilePaused() override {
    audio_source_->applyCanUseNetworkResourcesForLiveStreamingWhilePaused();
  }
  void applyPreferredPeakBitRate() override { audio_source_->applyPreferredPeakBitRate(); }

 private:
  // Where a seek to `position` of the clip lands in the child: within the clip's window, the end
  // (positive infinity) at the clip's end.
  CMTime timeInChild(CMTime position) const;

  std::shared_ptr<UriAudioSource> audio_source_;
  CMTime start_;
  CMTime end_;
};

}  // namespace playlist_audio
