// Test controls for the AVFoundation stand-in: what the media would do on its own (load, fail,
// buffer, play on, end, stall) and when seeks finish. Changes are observed as on the platform:
// synchronously, on the calling (main) thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/avfoundation/avfoundation.h"

namespace avfoundation::testing {

// The queue players alive, oldest first.
std::vector<std::shared_ptr<AVQueuePlayer>> queuePlayers();
// Every player (queue players included) and every item alive, oldest first.
std::vector<std::shared_ptr<AVPlayer>> players();
std::vector<std::shared_ptr<AVPlayerItem>> playerItems();

// Status ready to play (and the duration, when given); players showing the item re-derive their
// time-control status.
void makeItemReady(AVPlayerItem& item, std::optional<CMTime> duration = std::nullopt);
// The error, then status failed.
void failItem(AVPlayerItem& item, const NSError& error);
void setDuration(AVPlayerItem& item, CMTime duration);
void setCurrentTime(AVPlayerItem& item, CMTime time);
void setSeekableTimeRanges(AVPlayerItem& item, std::vector<CMTimeRange> ranges);
void setLoadedTimeRanges(AVPlayerItem& item, std::vector<CMTimeRange> ranges);
void setPlaybackBufferEmpty(AVPlayerItem& item, bool empty);
void setPlaybackBufferFull(AVPlayerItem& item, bool full);
void setPlaybackLikelyToKeepUp(AVPlayerItem& item, bool likely);
// Whether the item can play faster than 2x and slower than 1x (both true by default).
void setPlaybackCapabilities(AVPlayerItem& item, bool canPlayFastForward, bool canPlaySlowForward);
void setPresentationSize(AVPlayerItem& item, CGSize size);

// While held, seeks stay pending until completed here (process-wide; off by default).
void setSeeksHeld(bool held);
bool hasPendingSeek(const AVPlayerItem& item);
std::optional<CMTime> pendingSeekTime(const AVPlayerItem& item);
// The pending seek's target with the tolerances it was asked for.
struct SeekRequest {
  CMTime time;
  CMTime toleranceBefore;
  CMTime toleranceAfter;
};
std::optional<SeekRequest> pendingSeek(const AVPlayerItem& item);
// Finishes the item's pending seek; false when it had none.
bool completePendingSeek(AVPlayerItem& item, bool finished = true);

// The current item plays to its end: its time becomes its duration, the end notification is
// posted, then the player acts on the action at item end it had when the item ended (advance,
// pause or nothing).
void finishCurrentItem(AVQueuePlayer& player);
// Posts the failed-to-play-to-end notification for the current item.
void failCurrentItemToPlayToEnd(AVQueuePlayer& player, const NSError& error);
// The current item runs dry: its buffer empties and the stalled notification is posted.
void stallCurrentItem(AVQueuePlayer& player);
void setTimeControlStatus(AVPlayer& player, AVPlayerTimeControlStatus status);

// What the null sink of a library-backed item has played: sample frames consumed, and the
// loudest sample of the last block after the volume. Zero for the model.
int64_t audioFramesPlayed(const AVPlayerItem& item);
float audioLastPeak(const AVPlayerItem& item);

// Pushes timed metadata through every metadata output of the item.
void deliverTimedMetadata(AVPlayerItem& item, const std::vector<AVTimedMetadataGroup>& groups);

}  // namespace avfoundation::testing
