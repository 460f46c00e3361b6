// A leaf of the source tree: one playable entry of the sequence, with its player item and, once
// it must follow itself in the queue, a second item for the same media. A seek on an item that
// is not ready yet waits for it; every seek's completion runs exactly once, with finished = false
// when the item fails or the wait is dropped.
#pragma once

#include <functional>
#include <memory>

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_queue_player.h"
#include "plugins/playlist_audio/audio_source.h"
#include "plugins/playlist_audio/indexed_player_item.h"

namespace playlist_audio {

class IndexedAudioSource : public AudioSource {
 public:
  using SeekCompletion = std::function<void(bool finished)>;

  explicit IndexedAudioSource(std::string sourceId);
  // A seek still waiting for the item completes with finished = false.
  ~IndexedAudioSource() override;

  void onStatusChanged(AVPlayerItemStatus status);
  // Completes a seek still waiting for the item with finished = false: play has moved off this
  // leaf or the leaf is being replaced, so its item may never become ready for it.
  void dropQueuedSeek();
  virtual std::shared_ptr<IndexedPlayerItem> playerItem() const = 0;
  virtual std::shared_ptr<IndexedPlayerItem> playerItem2() const = 0;
  bool isAttached() const { return attached_; }

  bool lazyLoading() const override { return lazy_loading_; }
  void setLazyLoading(bool lazyLoading) override { lazy_loading_ = lazyLoading; }
  int buildSequence(Sequence& sequence, int treeIndex) override;
  SourceTreeSize size() const override { return {1, 1, 1}; }
  std::vector<int> getShuffleIndices() const override { return {0}; }

  virtual void attach(AVQueuePlayer& player, CMTime initialPos);
  void seek(CMTime position) { seek(position, nullptr); }
  virtual void seek(CMTime position, SeekCompletion completion) = 0;
  virtual void flip() = 0;
  virtual void preparePlayerItem2() = 0;
  // Where `item`, one of this leaf's items, starts playing.
  virtual CMTime startOf(const AVPlayerItem& item) const = 0;
  virtual CMTime duration() const = 0;
  virtual CMTime position() const = 0;
  virtual CMTime bufferedPosition() const = 0;
  virtual void applyCanUseNetworkResourcesForLiveStreamingWhilePaused() {}
  virtual void applyPreferredPeakBitRate() {}

 protected:
  // With a completion and an item not ready to play, keeps the seek for the item's readiness
  // (completing a seek kept before with finished = false) and answers true. On an item that
  // failed, the seek completes with finished = false at once (answering true too).
  bool queueSeekUntilReady(CMTime position, SeekCompletion& completion);

 private:
  bool attached_ = false;
  bool lazy_loading_ = false;
  CMTime queued_seek_pos_ = kCMTimeInvalid;
  SeekCompletion queued_seek_completion_;
};

}  // namespace playlist_audio
