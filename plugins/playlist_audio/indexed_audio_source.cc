#include "plugins/playlist_audio/indexed_audio_source.h"

#include <utility>

#include "platform/dispatch/dispatch_queue.h"

namespace playlist_audio {
namespace {

// Completions of dropped seeks run later, on the main queue, never inside the caller's change.
void completeLater(IndexedAudioSource::SeekCompletion completion) {
  if (!completion) return;
  dispatch_get_main_queue()->async([completion = std::move(completion)] { completion(false); });
}

}  // namespace

IndexedAudioSource::IndexedAudioSource(std::string sourceId) : AudioSource(std::move(sourceId)) {}

IndexedAudioSource::~IndexedAudioSource() { completeLater(std::move(queued_seek_completion_)); }

void IndexedAudioSource::onStatusChanged(AVPlayerItemStatus status) {
  // A failed item never becomes ready: the seek waiting for it ends here.
  if (status == AVPlayerItemStatusFailed) dropQueuedSeek();
  if (status != AVPlayerItemStatusReadyToPlay || !queued_seek_completion_) return;
  CMTime position = queued_seek_pos_;
  SeekCompletion completion = std::move(queued_seek_completion_);
  queued_seek_pos_ = kCMTimeInvalid;
  queued_seek_completion_ = nullptr;
  seek(position, std::move(completion));
}

void IndexedAudioSource::dropQueuedSeek() {
  queued_seek_pos_ = kCMTimeInvalid;
  completeLater(std::exchange(queued_seek_completion_, nullptr));
}

int IndexedAudioSource::buildSequence(Sequence& sequence, int treeIndex) {
  sequence.push_back(std::static_pointer_cast<IndexedAudioSource>(shared_from_this()));
  return treeIndex + 1;
}

void IndexedAudioSource::attach(AVQueuePlayer& /*player*/, CMTime initialPos) {
  attached_ = true;
  if (CMTIME_IS_VALID(initialPos)) seek(initialPos);
}

bool IndexedAudioSource::queueSeekUntilReady(CMTime position, SeekCompletion& completion) {
  auto item = playerItem();
  if (!completion || (item && item->status() == AVPlayerItemStatusReadyToPlay)) return false;
  dropQueuedSeek();
  if (item && item->status() == AVPlayerItemStatusFailed) {
    completeLater(std::move(completion));
    return true;
  }
  queued_seek_pos_ = position;
  queued_seek_completion_ = std::move(completion);
  return true;
}

}  // namespace playlist_audio
