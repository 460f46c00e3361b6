#include "plugins/now_playing/remote_command_table.h"

#include <cmath>
#include <cstdint>

namespace now_playing {
namespace {

using flutter::Value;
using flutter::ValueMap;

std::optional<Value> noArguments(const MPRemoteCommandEvent&) { return Value(ValueMap{}); }

// Microseconds, truncated; a position beyond what 64 bits hold is held at the limit.
std::optional<Value> positionArguments(const MPRemoteCommandEvent& event) {
  auto* change = dynamic_cast<const MPChangePlaybackPositionCommandEvent*>(&event);
  if (change == nullptr || !std::isfinite(change->positionTime())) return std::nullopt;
  double microseconds = std::trunc(change->positionTime() * 1e6);
  int64_t position = INT64_MAX;
  if (microseconds < -0x1p63) {
    position = INT64_MIN;
  } else if (microseconds < 0x1p63) {
    position = static_cast<int64_t>(microseconds);
  }
  return Value(ValueMap{{"position", Value(position)}});
}

std::optional<Value> clickArguments(const MPRemoteCommandEvent&) {
  return Value(ValueMap{{"button", Value(int32_t{0})}});
}

// 0 and 1 stay themselves; every other mode is 2.
int32_t modeNumber(long mode) { return mode == 0 || mode == 1 ? static_cast<int32_t>(mode) : 2; }

std::optional<Value> repeatArguments(const MPRemoteCommandEvent& event) {
  auto* change = dynamic_cast<const MPChangeRepeatModeCommandEvent*>(&event);
  if (change == nullptr) return std::nullopt;
  return Value(ValueMap{{"repeatMode", Value(modeNumber(change->repeatType()))}});
}

std::optional<Value> shuffleArguments(const MPRemoteCommandEvent& event) {
  auto* change = dynamic_cast<const MPChangeShuffleModeCommandEvent*>(&event);
  if (change == nullptr) return std::nullopt;
  return Value(ValueMap{{"shuffleMode", Value(modeNumber(change->shuffleType()))}});
}

std::optional<Value> seekArguments(const MPRemoteCommandEvent& event) {
  auto* seek = dynamic_cast<const MPSeekCommandEvent*>(&event);
  if (seek == nullptr) return std::nullopt;
  return Value(ValueMap{{"begin", Value(seek->type() == MPSeekCommandEventTypeBeginSeeking)}});
}

// The rate goes out as the single-precision number the system gave.
std::optional<Value> rateArguments(const MPRemoteCommandEvent& event) {
  auto* change = dynamic_cast<const MPChangePlaybackRateCommandEvent*>(&event);
  if (change == nullptr) return std::nullopt;
  return Value(ValueMap{{"speed", Value(static_cast<double>(change->playbackRate()))}});
}

template <std::shared_ptr<MPRemoteCommand> (MPRemoteCommandCenter::*accessor)() const>
std::shared_ptr<MPRemoteCommand> command(const MPRemoteCommandCenter& center) {
  return (center.*accessor)();
}

template <std::shared_ptr<MPSkipIntervalCommand> (MPRemoteCommandCenter::*accessor)() const>
std::shared_ptr<MPRemoteCommand> skipCommand(const MPRemoteCommandCenter& center) {
  return (center.*accessor)();
}

using C = MPRemoteCommandCenter;

const std::array<std::optional<RemoteCommandSlot>, kActionCount> kSlots = {
    /* 0 */ RemoteCommandSlot{command<&C::stopCommand>, CommandRule::target, "stop", noArguments},
    /* 1 */ RemoteCommandSlot{command<&C::pauseCommand>, CommandRule::target, "pause", noArguments},
    /* 2 */ RemoteCommandSlot{command<&C::playCommand>, CommandRule::target, "play", noArguments},
    /* 3 */
    RemoteCommandSlot{skipCommand<&C::skipBackwardCommand>, CommandRule::skipInterval, "rewind",
                      noArguments},
    /* 4 */
    RemoteCommandSlot{command<&C::previousTrackCommand>, CommandRule::target, "skipToPrevious",
                      noArguments},
    /* 5 */
    RemoteCommandSlot{command<&C::nextTrackCommand>, CommandRule::target, "skipToNext",
                      noArguments},
    /* 6 */
    RemoteCommandSlot{skipCommand<&C::skipForwardCommand>, CommandRule::skipInterval, "fastForward",
                      noArguments},
    /* 7 */ std::nullopt,
    /* 8 */
    RemoteCommandSlot{command<&C::changePlaybackPositionCommand>, CommandRule::target, "seek",
                      positionArguments},
    /* 9 */
    RemoteCommandSlot{command<&C::togglePlayPauseCommand>, CommandRule::enabledOnly, "click",
                      clickArguments},
    /* 10 to 17 */ std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    std::nullopt,
    /* 18 */
    RemoteCommandSlot{command<&C::changeRepeatModeCommand>, CommandRule::target, "setRepeatMode",
                      repeatArguments},
    /* 19, 20 */ std::nullopt,
    std::nullopt,
    /* 21 */
    RemoteCommandSlot{command<&C::changeShuffleModeCommand>, CommandRule::target, "setShuffleMode",
                      shuffleArguments},
    /* 22 */
    RemoteCommandSlot{command<&C::seekBackwardCommand>, CommandRule::target, "seekBackward",
                      seekArguments},
    /* 23 */
    RemoteCommandSlot{command<&C::seekForwardCommand>, CommandRule::target, "seekForward",
                      seekArguments},
    /* 24 */
    RemoteCommandSlot{command<&C::changePlaybackRateCommand>, CommandRule::target, "setSpeed",
                      rateArguments},
};

}  // namespace

const std::array<std::optional<RemoteCommandSlot>, kActionCount>& remoteCommandSlots() {
  return kSlots;
}

}  // namespace now_playing
