// Shared by the now-playing suites: building the Dart side's arguments and reading the commands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/flutter/value.h"
#include "platform/mediaplayer/mp_remote_command_center.h"

namespace now_playing::testing {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

// The "setState" arguments.
inline Value playbackState(bool playing, int64_t positionMs, Value speed,
                           std::initializer_list<int64_t> controlActions = {},
                           std::initializer_list<int64_t> systemActions = {}) {
  ValueList controls;
  for (int64_t action : controlActions) {
    controls.push_back(Value(ValueMap{{"action", Value(action)}}));
  }
  ValueList system;
  for (int64_t action : systemActions) system.push_back(Value(action));
  return Value(ValueMap{{"state", Value(ValueMap{{"playing", Value(playing)},
                                                 {"updatePosition", Value(positionMs)},
                                                 {"speed", std::move(speed)},
                                                 {"processingState", Value(int32_t{3})},
                                                 {"controls", Value(std::move(controls))},
                                                 {"systemActions", Value(std::move(system))}})}});
}

// Every command that has an action number, in action order, with the number.
inline std::vector<std::pair<int, std::shared_ptr<MPRemoteCommand>>> slotCommands() {
  auto c = MPRemoteCommandCenter::sharedCommandCenter();
  return {{0, c->stopCommand()},
          {1, c->pauseCommand()},
          {2, c->playCommand()},
          {3, c->skipBackwardCommand()},
          {4, c->previousTrackCommand()},
          {5, c->nextTrackCommand()},
          {6, c->skipForwardCommand()},
          {8, c->changePlaybackPositionCommand()},
          {9, c->togglePlayPauseCommand()},
          {18, c->changeRepeatModeCommand()},
          {21, c->changeShuffleModeCommand()},
          {22, c->seekBackwardCommand()},
          {23, c->seekForwardCommand()},
          {24, c->changePlaybackRateCommand()}};
}

inline constexpr std::initializer_list<int64_t> kEveryAction = {0, 1, 2,  3,  4,  5,  6,
                                                                8, 9, 18, 21, 22, 23, 24};

}  // namespace now_playing::testing
