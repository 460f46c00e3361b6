// Loading a tree, the play order, the engine's queue and how item ends and loop and shuffle
// changes reshape it.
#include <algorithm>
#include <numeric>
#include <utility>

#include "plugins/playlist_audio/audio_player.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/audio_source_decoder.h"
#include "plugins/playlist_audio/clipping_audio_source.h"
#include "plugins/playlist_audio/media_time.h"
#include "plugins/playlist_audio/uri_audio_source.h"

namespace playlist_audio {
namespace {

constexpr const char* kItemKeyPaths[] = {"status", "playbackBufferEmpty", "playbackBufferFull",
                                         "loadedTimeRanges"};

bool isUriType(const flutter::Value* type) {
  const auto* text = type != nullptr ? type->asString() : nullptr;
  return text != nullptr && isUriSourceType(*text);
}

}  // namespace

void AudioPlayer::load(const flutter::Value& source, CMTime initialPosition,
                       std::optional<int64_t> initialIndex, FlutterResult result) {
  // Measure and decode first: a malformed or oversized tree changes nothing.
  checkSourceTreeLimits(measureSourceMap(source));
  auto root = newRoot(source);
  AudioSource::Sequence leaves;
  if (root) root->buildSequence(leaves, 0);
  int index = initialIndex ? static_cast<int>(std::clamp<int64_t>(*initialIndex, 0, INT32_MAX)) : 0;
  if (initialIndex && (*initialIndex < 0 || *initialIndex >= std::max<int64_t>(1, leaves.size()))) {
    throw AudioPlayerException("initial index outside the sequence");
  }

  if (playing_ && player_) player_->pause();
  if (processing_state_ == ProcessingState::loading) abortExistingConnection(false);
  // A superseded load is always answered, whatever the engine holds and whatever state buffering
  // moved the player to meanwhile.
  answerPendingLoad(FlutterError{"10000000", "Connection aborted", nullptr});
  load_result_ = std::move(result);
  processing_state_ = ProcessingState::loading;
  // A seek still running belongs to the old tree: its completion only answers its call.
  seek_pos_ = kCMTimeInvalid;
  ++seek_generation_;
  index_ = index;
  error_code_ = nullptr;
  error_message_ = nullptr;
  for (const auto& leaf : indexed_audio_sources_) {
    removeLeafObservers(*leaf);
    // A reload may keep a leaf's item (new clip bounds): a seek from before ends with the tree.
    leaf->dropQueuedSeek();
  }

  audio_source_ = std::move(root);
  indexed_audio_sources_ = std::move(leaves);
  for (const auto& leaf : indexed_audio_sources_) adoptLeafItems(leaf);
  updatePosition();
  updateOrder();
  if (!player_) createEngine();
  // The item this load waits for: the one the queue build makes current.
  load_item_ = currentLeaf() ? currentLeaf()->playerItem() : nullptr;
  enqueueFrom(index_);
  for (size_t i = 0; i < indexed_audio_sources_.size(); ++i) {
    indexed_audio_sources_[i]->attach(
        *player_, static_cast<int>(i) == index_ ? initialPosition : kCMTimeInvalid);
  }
  if (playing_) player_->setRate(speed_);
  player_->setVolume(volume_);
  broadcastPlaybackEvent();
  answerLoadIfSettled();
}

// A load waits for its current item. Once the queue no longer holds anything to wait for (no
// leaves, no current item, or a current item that is already ready), it is answered at once:
// an edit or a queue change while loading may bring that about, and no event would follow.
bool AudioPlayer::answerLoadIfSettled() {
  if (!load_result_ || !player_) return false;
  const auto& current = player_->currentItem();
  if (!indexed_audio_sources_.empty() && current &&
      current->status() != AVPlayerItemStatusReadyToPlay) {
    return false;
  }
  processing_state_ = ProcessingState::ready;
  answerPendingLoad();
  return true;
}

// Changing only the clip bounds of the loaded URI keeps its items.
std::shared_ptr<AudioSource> AudioPlayer::newRoot(const flutter::Value& source) const {
  const auto* type = source.find("type");
  const auto* child = source.find("child");
  if (audio_source_ && type != nullptr && type->asString() && *type->asString() == "clipping" &&
      child != nullptr && isUriType(child->find("type"))) {
    std::shared_ptr<UriAudioSource> reusable;
    if (auto clip = std::dynamic_pointer_cast<ClippingAudioSource>(audio_source_)) {
      reusable = clip->audioSource();
    } else {
      reusable = std::dynamic_pointer_cast<UriAudioSource>(audio_source_);
    }
    const auto* uri = child->find("uri");
    if (reusable && uri != nullptr && uri->asString() && *uri->asString() == reusable->uri()) {
      AudioArguments arguments(source);
      auto start = arguments.integerOrNull("start");
      auto end = arguments.integerOrNull("end");
      return std::make_shared<ClippingAudioSource>(
          arguments.string("id"), reusable, start ? timeFromMicroseconds(*start) : kCMTimeZero,
          end ? timeFromMicroseconds(*end) : kCMTimeInvalid);
    }
  }
  return AudioSourceDecoder(load_control_).decodeAudioSource(source);
}

void AudioPlayer::createEngine() {
  player_ = AVQueuePlayer::queuePlayerWithItems({});
  player_->setAutomaticallyWaitsToMinimizeStalling(automatically_waits_to_minimize_stalling_);
  player_->addObserver(shared_from_this(), "timeControlStatus", NSKeyValueObservingOptionNew,
                       nullptr);
  player_->setAllowsExternalPlayback(allows_external_playback_);
  player_->addObserver(shared_from_this(), "currentItem", NSKeyValueObservingOptionNew, nullptr);
}

void AudioPlayer::updateOrder() {
  int count = static_cast<int>(indexed_audio_sources_.size());
  order_inv_.assign(count, 0);
  if (shuffle_mode_enabled_ && audio_source_) {
    order_ = audio_source_->getShuffleIndices();
  } else {
    order_.resize(count);
    std::iota(order_.begin(), order_.end(), 0);
  }
  // The orders were checked when they arrived; an order of the wrong shape plays unshuffled.
  if (!isPermutation(order_, count)) {
    order_.resize(count);
    std::iota(order_.begin(), order_.end(), 0);
  }
  for (int position = 0; position < count; ++position) order_inv_[order_[position]] = position;
}

void AudioPlayer::enqueueFrom(int index) {
  struct Building {
    int& depth;
    ~Building() { --depth; }
  } building{++queue_builds_};
  buildQueueFrom(index);
  if (queue_builds_ > 1 || !std::exchange(current_failed_while_building_, false)) return;
  // A failed item that became current mid-build is acted on once the queue stands: emptying the
  // queue then would let the rest of the build refill it behind the failure.
  auto current = player_->currentItem();
  if (current && current->status() == AVPlayerItemStatusFailed) sendErrorForItem(current);
}

void AudioPlayer::buildQueueFrom(int index) {
  index_ = index;
  auto old = player_->currentItem();
  std::shared_ptr<AVPlayerItem> target;
  if (index >= 0 && index < static_cast<int>(indexed_audio_sources_.size())) {
    target = indexed_audio_sources_[index]->playerItem();
  }
  bool targetPresent = false;
  for (const auto& item : std::vector(player_->items())) {
    if (item == target) {
      targetPresent = true;
    } else if (item != old) {
      player_->removeItem(item);
    }
  }
  if (old && old != target) player_->removeItem(old);

  enqueued_all_ = false;
  if (!(targetPresent && loop_mode_ == kLoopOne)) {
    enqueued_all_ = true;
    int count = static_cast<int>(order_.size());
    int from = index >= 0 && index < count ? order_inv_[index] : count;
    for (int position = from; position < count; ++position) {
      const auto& leaf = indexed_audio_sources_[order_[position]];
      auto item = leaf->playerItem();
      if (targetPresent && item == target) continue;
      if (leaf->lazyLoading() && player_->items().size() >= 2) {
        enqueued_all_ = false;
        break;
      }
      // The target's position is the caller's to set (a load, a seek, an edit).
      if (item == target) {
        player_->insertItem(item, nullptr);
      } else {
        appendFromStart(*leaf, item);
      }
      if (loop_mode_ == kLoopOne) break;
    }
  }

  if (!order_.empty()) {
    std::shared_ptr<IndexedAudioSource> repeated;
    if (loop_mode_ == kLoopOne) {
      repeated = currentLeaf();
    } else if (loop_mode_ == kLoopAll && enqueued_all_) {
      repeated = indexed_audio_sources_[order_.front()];
    }
    if (repeated) {
      if (!repeated->playerItem2()) {
        repeated->preparePlayerItem2();
        if (auto second = repeated->playerItem2()) addItemObservers(second);
      }
      appendFromStart(*repeated, repeated->playerItem2());
    }
  }

  if (processing_state_ != ProcessingState::loading && target != old) {
    followBufferOf(player_->currentItem().get());
    updatePosition();
  }
  updateEndAction();
}

// An item queued behind the target plays from its start. One that played before (an ended
// item a loop queues again) was rewound when it ended, but the engine cancels the seeks of an
// item it takes out of the queue, so the rewind is made again here, once it is back in.
void AudioPlayer::appendFromStart(const IndexedAudioSource& leaf,
                                  const std::shared_ptr<IndexedPlayerItem>& item) {
  if (!item) return;
  player_->insertItem(item, nullptr);
  CMTime start = leaf.startOf(*item);
  if (CMTimeCompare(item->currentTime(), start) != 0) {
    item->seekToTime(start, kCMTimeZero, kCMTimeZero, nullptr);
  }
}

void AudioPlayer::updateEndAction() {
  if (!player_) return;
  bool advance;
  if (!audio_source_) {
    advance = false;
  } else if (loop_mode_ == kLoopOne || loop_mode_ == kLoopAll) {
    advance = true;
  } else {
    int position = index_ >= 0 && index_ < static_cast<int>(order_inv_.size()) ? order_inv_[index_]
                                                                               : INT32_MAX - 1;
    advance = !order_.empty() && position + 1 < static_cast<int>(order_.size());
  }
  player_->setActionAtItemEnd(advance ? AVPlayerActionAtItemEndAdvance
                                      : AVPlayerActionAtItemEndPause);
}

int AudioPlayer::indexForItem(const AVPlayerItem* item) const {
  for (size_t i = 0; i < indexed_audio_sources_.size(); ++i) {
    const auto& leaf = indexed_audio_sources_[i];
    if (leaf->playerItem().get() == item || leaf->playerItem2().get() == item) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void AudioPlayer::addItemObservers(const std::shared_ptr<IndexedPlayerItem>& item) {
  if (!item || observed_items_.contains(item.get())) return;
  for (const char* keyPath : kItemKeyPaths) {
    item->addObserver(shared_from_this(), keyPath, NSKeyValueObservingOptionNew, nullptr);
  }
  ObservedItem observed{item, {}};
  std::weak_ptr<AudioPlayer> weak = shared_from_this();
  auto center = NSNotificationCenter::defaultCenter();
  const void* sender = static_cast<const AVPlayerItem*>(item.get());
  auto onEnd = [weak](const NSNotification& notification) {
    if (auto self = weak.lock()) self->onComplete(notification);
  };
  observed.tokens.push_back(
      center->addObserverForName(AVPlayerItemDidPlayToEndTimeNotification, sender, nullptr, onEnd));
  // Failing to reach the end and stalling show through the buffer and time-control observations.
  for (const char* name :
       {AVPlayerItemFailedToPlayToEndTimeNotification, AVPlayerItemPlaybackStalledNotification}) {
    observed.tokens.push_back(
        center->addObserverForName(name, sender, nullptr, [](const NSNotification&) {}));
  }
  observed_items_.emplace(item.get(), std::move(observed));
  bool hasMetadataOutput =
      std::any_of(item->outputs().begin(), item->outputs().end(), [](const auto& output) {
        return std::dynamic_pointer_cast<AVPlayerItemMetadataOutput>(output) != nullptr;
      });
  if (!hasMetadataOutput) {
    auto output = std::make_shared<AVPlayerItemMetadataOutput>(std::nullopt);
    output->setDelegate(weak, dispatch_get_main_queue());
    item->addOutput(output);
  }
}

void AudioPlayer::removeItemObservers(const std::shared_ptr<IndexedPlayerItem>& item) {
  if (!item) return;
  auto found = observed_items_.find(item.get());
  if (found == observed_items_.end()) return;
  for (const char* keyPath : kItemKeyPaths) item->removeObserver(this, keyPath);
  for (const auto& token : found->second.tokens) {
    NSNotificationCenter::defaultCenter()->removeObserver(token);
  }
  observed_items_.erase(found);
}

// Both items of a reused clip are observed, each once.
void AudioPlayer::adoptLeafItems(const std::shared_ptr<IndexedAudioSource>& leaf) {
  for (const auto& item : {leaf->playerItem(), leaf->playerItem2()}) {
    if (!item) continue;
    addItemObservers(item);
    item->setAudioSource(leaf);
  }
}

void AudioPlayer::removeLeafObservers(const IndexedAudioSource& leaf) {
  removeItemObservers(leaf.playerItem());
  removeItemObservers(leaf.playerItem2());
}

void AudioPlayer::onComplete(const NSNotification& notification) {
  auto* ended = static_cast<AVPlayerItem*>(notification.object.get());
  auto indexed = ended != nullptr
                     ? std::dynamic_pointer_cast<IndexedPlayerItem>(ended->shared_from_this())
                     : nullptr;
  auto leaf = indexed ? indexed->audioSource() : nullptr;
  int count = static_cast<int>(order_.size());
  if (count == 0 || index_ < 0 || index_ >= count) return;
  if (loop_mode_ == kLoopAll) {
    if (leaf) leaf->seek(kCMTimeZero);
    index_ = order_[(order_inv_[index_] + 1) % count];
    broadcastPlaybackEvent();
    just_advanced_ = true;
  } else if (loop_mode_ == kLoopOne) {
    if (leaf) leaf->seek(kCMTimeZero);
    just_advanced_ = true;
  } else {
    int next = order_inv_[index_] + 1;
    if (next < count) {
      if (leaf) leaf->seek(kCMTimeZero);
      index_ = order_[next];
      updateEndAction();
      broadcastPlaybackEvent();
      just_advanced_ = true;
    } else {
      complete();
    }
  }
}

void AudioPlayer::currentItemChanged(const std::shared_ptr<AVPlayerItem>& item) {
  if (!item) return;
  if (item->status() == AVPlayerItemStatusFailed) {
    if (queue_builds_ > 0) {
      current_failed_while_building_ = true;
    } else {
      sendErrorForItem(item);
    }
    return;
  }
  int index = indexForItem(item.get());
  if (index != index_ && index >= 0) {
    index_ = index;
    updateEndAction();
    broadcastPlaybackEvent();
  }
  buffer_unconfirmed_ = true;
  if (!just_advanced_) return;
  auto indexed = std::dynamic_pointer_cast<IndexedPlayerItem>(item);
  auto leaf = indexed ? indexed->audioSource() : nullptr;
  if (loop_mode_ == kLoopAll) {
    if (!order_.empty() && index_ == order_.front() && leaf && item == leaf->playerItem2()) {
      leaf->flip();
      enqueueFrom(index_);
    } else if (enqueued_all_) {
      updateEndAction();
    } else {
      enqueueFrom(index_);
    }
  } else if (loop_mode_ == kLoopOne) {
    if (leaf) leaf->flip();
    enqueueFrom(index_);
  } else if (!enqueued_all_) {
    enqueueFrom(index_);
  }
  just_advanced_ = false;
}

void AudioPlayer::setLoopMode(int32_t mode) {
  if (mode == loop_mode_) return;
  loop_mode_ = mode;
  if (player_) replanQueue();
}

void AudioPlayer::setShuffleModeEnabled(bool enabled) {
  shuffle_mode_enabled_ = enabled;
  if (!audio_source_) return;
  updateOrder();
  replanQueue();
}

void AudioPlayer::setShuffleOrder(const flutter::Value& source) {
  if (!audio_source_) return;
  audio_source_->decodeShuffleOrder(source);
  updateOrder();
  replanQueue();
}

void AudioPlayer::replanQueue() {
  enqueueFrom(index_);
  if (answerLoadIfSettled()) broadcastPlaybackEvent();
}

}  // namespace playlist_audio
