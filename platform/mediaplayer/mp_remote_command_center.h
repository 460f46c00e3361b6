// The remote commands the system offers the user for whatever plays: one centre and one set of
// commands for the whole process.
#pragma once

#include <memory>

#include "platform/mediaplayer/mp_remote_command.h"

class MPRemoteCommandCenter {
 public:
  static std::shared_ptr<MPRemoteCommandCenter> sharedCommandCenter();

  std::shared_ptr<MPRemoteCommand> pauseCommand() const { return pause_; }
  std::shared_ptr<MPRemoteCommand> playCommand() const { return play_; }
  std::shared_ptr<MPRemoteCommand> stopCommand() const { return stop_; }
  std::shared_ptr<MPRemoteCommand> togglePlayPauseCommand() const { return toggle_play_pause_; }
  std::shared_ptr<MPRemoteCommand> enableLanguageOptionCommand() const {
    return enable_language_option_;
  }
  std::shared_ptr<MPRemoteCommand> disableLanguageOptionCommand() const {
    return disable_language_option_;
  }
  std::shared_ptr<MPRemoteCommand> changePlaybackRateCommand() const {
    return change_playback_rate_;
  }
  std::shared_ptr<MPRemoteCommand> changeRepeatModeCommand() const { return change_repeat_mode_; }
  std::shared_ptr<MPRemoteCommand> changeShuffleModeCommand() const { return change_shuffle_mode_; }
  std::shared_ptr<MPRemoteCommand> nextTrackCommand() const { return next_track_; }
  std::shared_ptr<MPRemoteCommand> previousTrackCommand() const { return previous_track_; }
  std::shared_ptr<MPSkipIntervalCommand> skipForwardCommand() const { return skip_forward_; }
  std::shared_ptr<MPSkipIntervalCommand> skipBackwardCommand() const { return skip_backward_; }
  std::shared_ptr<MPRemoteCommand> seekForwardCommand() const { return seek_forward_; }
  std::shared_ptr<MPRemoteCommand> seekBackwardCommand() const { return seek_backward_; }
  std::shared_ptr<MPRemoteCommand> changePlaybackPositionCommand() const {
    return change_playback_position_;
  }
  std::shared_ptr<MPRemoteCommand> ratingCommand() const { return rating_; }
  std::shared_ptr<MPRemoteCommand> likeCommand() const { return like_; }
  std::shared_ptr<MPRemoteCommand> dislikeCommand() const { return dislike_; }
  std::shared_ptr<MPRemoteCommand> bookmarkCommand() const { return bookmark_; }

 private:
  MPRemoteCommandCenter() = default;

  const std::shared_ptr<MPRemoteCommand> pause_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> play_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> stop_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> toggle_play_pause_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> enable_language_option_ =
      std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> disable_language_option_ =
      std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> change_playback_rate_ =
      std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> change_repeat_mode_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> change_shuffle_mode_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> next_track_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> previous_track_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPSkipIntervalCommand> skip_forward_ =
      std::make_shared<MPSkipIntervalCommand>();
  const std::shared_ptr<MPSkipIntervalCommand> skip_backward_ =
      std::make_shared<MPSkipIntervalCommand>();
  const std::shared_ptr<MPRemoteCommand> seek_forward_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> seek_backward_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> change_playback_position_ =
      std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> rating_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> like_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> dislike_ = std::make_shared<MPRemoteCommand>();
  const std::shared_ptr<MPRemoteCommand> bookmark_ = std::make_shared<MPRemoteCommand>();
};
