// What the system hands a remote command's targets when the user gives the command. Commands that
// carry nothing get the base event; the others get the subclass named for them.
#pragma once

enum MPRepeatType : long {
  MPRepeatTypeOff = 0,
  MPRepeatTypeOne = 1,
  MPRepeatTypeAll = 2,
};

enum MPShuffleType : long {
  MPShuffleTypeOff = 0,
  MPShuffleTypeItems = 1,
  MPShuffleTypeCollections = 2,
};

enum MPSeekCommandEventType : long {
  MPSeekCommandEventTypeBeginSeeking = 0,
  MPSeekCommandEventTypeEndSeeking = 1,
};

class MPRemoteCommandEvent {
 public:
  virtual ~MPRemoteCommandEvent() = default;
};

class MPChangePlaybackPositionCommandEvent : public MPRemoteCommandEvent {
 public:
  explicit MPChangePlaybackPositionCommandEvent(double positionTime)
      : position_time_(positionTime) {}
  // Seconds from the start of the item.
  double positionTime() const { return position_time_; }

 private:
  double position_time_;
};

class MPChangePlaybackRateCommandEvent : public MPRemoteCommandEvent {
 public:
  explicit MPChangePlaybackRateCommandEvent(float playbackRate) : playback_rate_(playbackRate) {}
  float playbackRate() const { return playback_rate_; }

 private:
  float playback_rate_;
};

class MPChangeRepeatModeCommandEvent : public MPRemoteCommandEvent {
 public:
  explicit MPChangeRepeatModeCommandEvent(MPRepeatType repeatType) : repeat_type_(repeatType) {}
  MPRepeatType repeatType() const { return repeat_type_; }

 private:
  MPRepeatType repeat_type_;
};

class MPChangeShuffleModeCommandEvent : public MPRemoteCommandEvent {
 public:
  explicit MPChangeShuffleModeCommandEvent(MPShuffleType shuffleType)
      : shuffle_type_(shuffleType) {}
  MPShuffleType shuffleType() const { return shuffle_type_; }

 private:
  MPShuffleType shuffle_type_;
};

class MPSeekCommandEvent : public MPRemoteCommandEvent {
 public:
  explicit MPSeekCommandEvent(MPSeekCommandEventType type) : type_(type) {}
  MPSeekCommandEventType type() const { return type_; }

 private:
  MPSeekCommandEventType type_;
};
