// A player: plays its current item at a rate. Observable under "currentItem", "rate" and
// "timeControlStatus": the status is paused at rate 0, playing when the current item is ready
// with data, and waiting otherwise. Every rate set is announced, changed or not, as the
// platform's automatic notifications do.
#pragma once

#include <any>
#include <memory>

#include "platform/avfoundation/av_player_item.h"
#include "platform/foundation/ns_key_value_observing.h"

enum AVPlayerTimeControlStatus : long {
  AVPlayerTimeControlStatusPaused = 0,
  AVPlayerTimeControlStatusWaitingToPlayAtSpecifiedRate = 1,
  AVPlayerTimeControlStatusPlaying = 2,
};

enum AVPlayerActionAtItemEnd : long {
  AVPlayerActionAtItemEndAdvance = 0,
  AVPlayerActionAtItemEndPause = 1,
  AVPlayerActionAtItemEndNone = 2,
};

class AVPlayer : public NSKeyValueObservable, public std::enable_shared_from_this<AVPlayer> {
 public:
  AVPlayer();
  explicit AVPlayer(std::shared_ptr<AVPlayerItem> item);
  ~AVPlayer() override;
  static std::shared_ptr<AVPlayer> playerWithPlayerItem(std::shared_ptr<AVPlayerItem> item) {
    return std::make_shared<AVPlayer>(std::move(item));
  }

  const std::shared_ptr<AVPlayerItem>& currentItem() const { return current_item_; }
  virtual void replaceCurrentItemWithItem(std::shared_ptr<AVPlayerItem> item);

  float rate() const { return rate_; }
  void setRate(float rate);
  void play() { setRate(1.0f); }
  void pause() { setRate(0.0f); }
  AVPlayerTimeControlStatus timeControlStatus() const { return time_control_status_; }

  // The current item's time; the invalid time without an item.
  CMTime currentTime() const;
  // Seeks the current item; without one the completion runs on the main queue with false.
  void seekToTime(CMTime time, CMTime toleranceBefore, CMTime toleranceAfter,
                  AVPlayerItem::SeekCompletion completionHandler);

  float volume() const { return volume_; }
  void setVolume(float volume);
  bool automaticallyWaitsToMinimizeStalling() const { return waits_to_minimize_stalling_; }
  void setAutomaticallyWaitsToMinimizeStalling(bool waits) { waits_to_minimize_stalling_ = waits; }
  bool allowsExternalPlayback() const { return allows_external_playback_; }
  void setAllowsExternalPlayback(bool allows) { allows_external_playback_ = allows; }
  AVPlayerActionAtItemEnd actionAtItemEnd() const { return action_at_item_end_; }
  void setActionAtItemEnd(AVPlayerActionAtItemEnd action) { action_at_item_end_ = action; }
  bool preventsDisplaySleepDuringVideoPlayback() const { return prevents_display_sleep_; }
  void setPreventsDisplaySleepDuringVideoPlayback(bool prevents) {
    prevents_display_sleep_ = prevents;
  }

  std::any valueForKey(const std::string& key) const override;

 protected:
  // Changes the current item with observation and re-derives the time-control status.
  void setCurrentItem(std::shared_ptr<AVPlayerItem> item);

 private:
  friend struct AVPlayerModel;
  friend class AVPlayerItem;
  // A library-backed item changed its status or buffering: the players showing it re-derive
  // their time-control status.
  static void itemDidChangeState(const AVPlayerItem& item);
  // A library-backed item played to its end: the end notification, then the end action (in force
  // when it ended) of the player showing it.
  static void itemDidPlayToEnd(AVPlayerItem& item);
  void updateTimeControlStatus();
  void setTimeControlStatus(AVPlayerTimeControlStatus status);

  std::shared_ptr<AVPlayerItem> current_item_;
  float rate_ = 0.0f;
  AVPlayerTimeControlStatus time_control_status_ = AVPlayerTimeControlStatusPaused;
  float volume_ = 1.0f;
  bool waits_to_minimize_stalling_ = true;
  bool allows_external_playback_ = true;
  AVPlayerActionAtItemEnd action_at_item_end_ = AVPlayerActionAtItemEndPause;
  bool prevents_display_sleep_ = true;
};
