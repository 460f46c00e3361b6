// Playback events and error events, the position, buffer and duration queries behind them, and
// stream metadata.
#include <algorithm>

#include "plugins/playlist_audio/audio_player.h"
#include "plugins/playlist_audio/media_time.h"

namespace playlist_audio {
namespace {

// Takes the answer out before giving it: the reply may lead straight to another call.
template <typename Reply>
void answerOnce(std::optional<FlutterResult>& pending, Reply reply) {
  if (!pending) return;
  auto answer = std::move(*pending);
  pending.reset();
  answer(std::move(reply));
}

flutter::Value metadataValue(const std::any& value) {
  if (const auto* text = std::any_cast<std::string>(&value)) return *text;
  if (const auto* number = std::any_cast<double>(&value)) return *number;
  if (const auto* integer = std::any_cast<int64_t>(&value)) return *integer;
  return nullptr;
}

}  // namespace

void AudioPlayer::broadcastPlaybackEvent() {
  flutter::ValueMap event;
  event.append("processingState", static_cast<int32_t>(processing_state_));
  event.append("updatePosition", static_cast<int64_t>(update_position_) * 1000);
  event.append("updateTime", update_time_);
  event.append("bufferedPosition", static_cast<int64_t>(getBufferedPosition()) * 1000);
  event.append("icyMetadata", icy_metadata_);
  event.append("duration", getDurationMicroseconds());
  event.append("currentIndex", static_cast<int32_t>(index_));
  event.append("errorCode", error_code_);
  event.append("errorMessage", error_message_);
  event_channel_->sendEvent(flutter::Value(std::move(event)));
}

std::shared_ptr<IndexedAudioSource> AudioPlayer::currentLeaf() const {
  if (index_ < 0 || index_ >= static_cast<int>(indexed_audio_sources_.size())) return nullptr;
  return indexed_audio_sources_[index_];
}

int32_t AudioPlayer::getCurrentPosition() const {
  auto leaf = currentLeaf();
  if (CMTIME_IS_VALID(seek_pos_)) {
    // A seek to the end stands at the leaf's end while it runs, when that is known.
    if (CMTIME_IS_POSITIVE_INFINITY(seek_pos_)) {
      return leaf && isFiniteTime(leaf->duration()) ? millisecondsFromTime(leaf->duration()) : 0;
    }
    return std::max(0, millisecondsFromTime(seek_pos_));
  }
  if (!leaf) return 0;
  return std::max(0, millisecondsFromTime(leaf->position()));
}

int32_t AudioPlayer::getBufferedPosition() const {
  if (processing_state_ == ProcessingState::idle || processing_state_ == ProcessingState::loading) {
    return 0;
  }
  auto leaf = currentLeaf();
  return leaf ? std::max(0, millisecondsFromTime(leaf->bufferedPosition())) : 0;
}

int32_t AudioPlayer::getDuration() const {
  if (processing_state_ == ProcessingState::idle || processing_state_ == ProcessingState::loading) {
    return -1;
  }
  if (indexed_audio_sources_.empty()) return 0;
  auto leaf = currentLeaf();
  if (!leaf) return -1;
  CMTime duration = leaf->duration();
  return isFiniteTime(duration) ? millisecondsFromTime(duration) : -1;
}

int64_t AudioPlayer::getDurationMicroseconds() const {
  int32_t duration = getDuration();
  return duration < 0 ? -1 : static_cast<int64_t>(duration) * 1000;
}

bool AudioPlayer::isCurrentItem(const AVPlayerItem& item) const {
  return player_ && player_->currentItem().get() == &item;
}

FlutterError AudioPlayer::sendError(int64_t code, const std::string& message,
                                    const std::shared_ptr<AVPlayerItem>& item, bool switchToIdle) {
  flutter::Value details;
  if (item) details = flutter::ValueMap{{"index", static_cast<int32_t>(indexForItem(item.get()))}};
  FlutterError error{std::to_string(code), message, details};
  event_channel_->sendEvent(error);
  error_code_ = code >= INT32_MIN && code <= INT32_MAX ? flutter::Value(static_cast<int32_t>(code))
                                                       : flutter::Value(code);
  error_message_ = message;
  if (switchToIdle) processing_state_ = ProcessingState::idle;
  broadcastPlaybackEvent();
  auto current = player_ ? player_->currentItem() : nullptr;
  if (load_result_ && current == item) {
    // A load answers for its own item: when a seek moved play to another item, that item's
    // failure only cuts the load short.
    if (item && item != load_item_.lock()) {
      answerPendingLoad(FlutterError{"10000000", "Connection aborted", nullptr});
    } else {
      answerPendingLoad(error);
    }
  }
  return error;
}

void AudioPlayer::sendErrorForItem(const std::shared_ptr<AVPlayerItem>& item) {
  const auto& cause = item->error();
  auto error = sendError(cause ? static_cast<int32_t>(cause->code) : 0,
                         cause ? cause->localizedDescription : std::string(), item, true);
  if (player_) player_->removeAllItems();
  // Nothing is left to play: a pending "play" learns why playing ended.
  answerOnce(play_result_, error);
}

void AudioPlayer::abortExistingConnection(bool switchToIdle) {
  sendError(10000000, "Connection aborted", nullptr, switchToIdle);
}

void AudioPlayer::answerPendingLoad(const FlutterError& error) { answerOnce(load_result_, error); }

void AudioPlayer::answerPendingLoad() {
  if (!load_result_) return;
  answerOnce(load_result_,
             flutter::Value(flutter::ValueMap{{"duration", getDurationMicroseconds()}}));
}

void AudioPlayer::answerPendingPlay() {
  answerOnce(play_result_, flutter::Value(flutter::ValueMap{}));
}

void AudioPlayer::metadataOutput(AVPlayerItemMetadataOutput& /*output*/,
                                 const std::vector<AVTimedMetadataGroup>& groups,
                                 const AVPlayerItemTrack* /*track*/) {
  flutter::Value title, url;
  bool seen = false;
  for (const auto& group : groups) {
    for (const auto& item : group.items) {
      if (item.identifier == "icy/StreamTitle") {
        title = metadataValue(item.value);
        seen = true;
      } else if (item.identifier == "icy/StreamUrl") {
        url = metadataValue(item.value);
        seen = true;
      }
    }
  }
  if (!seen) return;
  icy_metadata_ = flutter::ValueMap{{"info", flutter::ValueMap{{"title", title}, {"url", url}}}};
  broadcastPlaybackEvent();
}

}  // namespace playlist_audio
