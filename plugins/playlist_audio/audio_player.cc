#include "plugins/playlist_audio/audio_player.h"

#include <algorithm>

#include "plugins/playlist_audio/audio_method_table.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/media_time.h"

namespace playlist_audio {
namespace {

// The platform plays rates from 1/32 to 32 and volumes from silence (0) to full (1); clamping
// in double first also keeps the float conversion defined.
constexpr double kMinSpeed = 1.0 / 32;
constexpr double kMaxSpeed = 32.0;

flutter::Value emptyMap() { return flutter::ValueMap{}; }

}  // namespace

std::shared_ptr<AudioPlayer> AudioPlayer::create(std::shared_ptr<FlutterBinaryMessenger> messenger,
                                                 const std::string& playerId,
                                                 const flutter::Value& loadConfiguration) {
  std::shared_ptr<AudioPlayer> player(new AudioPlayer(messenger, playerId));
  player->configureLoadControl(loadConfiguration);
  std::weak_ptr<AudioPlayer> weak = player;
  player->method_channel_->setMethodCallHandler(
      [weak](const FlutterMethodCall& call, FlutterResult result) {
        if (auto target = weak.lock()) {
          target->handleMethodCall(call, std::move(result));
        } else {
          result(FlutterMethodNotImplemented);
        }
      });
  return player;
}

AudioPlayer::AudioPlayer(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                         const std::string& playerId)
    : method_channel_(FlutterMethodChannel::methodChannelWithName(
          kPlayerMethodChannelPrefix + playerId, messenger)),
      event_channel_(BetterEventChannel::create(kPlayerEventChannelPrefix + playerId, messenger)),
      data_event_channel_(
          BetterEventChannel::create(kPlayerDataChannelPrefix + playerId, messenger)) {}

AudioPlayer::~AudioPlayer() = default;

// Only the null value skips the configuration: a missing one counts as present and empty.
void AudioPlayer::configureLoadControl(const flutter::Value& loadConfiguration) {
  load_control_ = std::make_shared<LoadControl>();
  if (loadConfiguration.isNull()) return;
  const auto* darwin = loadConfiguration.find("darwinLoadControl");
  if (darwin != nullptr && darwin->isNull()) return;
  auto entry = [darwin](std::string_view key) -> std::optional<flutter::Value> {
    const auto* value = darwin != nullptr ? darwin->find(key) : nullptr;
    return value != nullptr ? std::optional<flutter::Value>(*value) : std::nullopt;
  };
  auto flag = [&entry](std::string_view key) {
    auto value = entry(key);
    return value && value->boolValue();
  };
  load_control_->setPreferredForwardBufferDuration(entry("preferredForwardBufferDuration"));
  load_control_->setCanUseNetworkResourcesForLiveStreamingWhilePaused(
      flag("canUseNetworkResourcesForLiveStreamingWhilePaused"));
  load_control_->setPreferredPeakBitRate(entry("preferredPeakBitRate"));
  automatically_waits_to_minimize_stalling_ = flag("automaticallyWaitsToMinimizeStalling");
}

void AudioPlayer::dispose(bool silently) {
  if (disposed_) return;
  disposed_ = true;
  answerPendingLoad(FlutterError{"10000000", "Connection aborted", nullptr});
  if (player_) {
    if (processing_state_ != ProcessingState::idle) {
      player_->pause();
      updatePosition();
      if (!silently) broadcastPlaybackEvent();
      processing_state_ = ProcessingState::idle;
    }
    for (const auto& leaf : indexed_audio_sources_) {
      removeLeafObservers(*leaf);
      leaf->dropQueuedSeek();
    }
    indexed_audio_sources_.clear();
    audio_source_.reset();
    player_->removeObserver(this, "currentItem");
    player_->removeObserver(this, "timeControlStatus");
    player_.reset();
  }
  answerPendingPlay();
  // Observers of items that are no longer leaves (a loop's second items) go too.
  while (!observed_items_.empty()) {
    auto item = std::dynamic_pointer_cast<IndexedPlayerItem>(observed_items_.begin()->second.item);
    if (item) {
      removeItemObservers(item);
    } else {
      observed_items_.erase(observed_items_.begin());
    }
  }
  event_channel_->dispose();
  data_event_channel_->dispose();
  method_channel_->setMethodCallHandler(nullptr);
}

void AudioPlayer::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  static const MethodTable<AudioPlayer> kMethods = {
      {"load", &AudioPlayer::handleLoad},
      {"play", &AudioPlayer::handlePlay},
      {"pause", &AudioPlayer::handlePause},
      {"setVolume", &AudioPlayer::handleSetVolume},
      {"setSkipSilence", &AudioPlayer::handleIgnored},
      {"setSpeed", &AudioPlayer::handleSetSpeed},
      {"setLoopMode", &AudioPlayer::handleSetLoopMode},
      {"setShuffleMode", &AudioPlayer::handleSetShuffleMode},
      {"setShuffleOrder", &AudioPlayer::handleSetShuffleOrder},
      {"setAutomaticallyWaitsToMinimizeStalling", &AudioPlayer::handleSetAutomaticallyWaits},
      {"setCanUseNetworkResourcesForLiveStreamingWhilePaused",
       &AudioPlayer::handleSetCanUseNetwork},
      {"setPreferredPeakBitRate", &AudioPlayer::handleSetPreferredPeakBitRate},
      {"setAllowsExternalPlayback", &AudioPlayer::handleSetAllowsExternalPlayback},
      {"seek", &AudioPlayer::handleSeek},
      {"concatenatingInsertAll", &AudioPlayer::handleInsertAll},
      {"concatenatingRemoveRange", &AudioPlayer::handleRemoveRange},
      {"concatenatingMove", &AudioPlayer::handleMove},
      {"setAndroidAudioAttributes", &AudioPlayer::handleIgnored},
  };
  dispatchMethodCall(*this, kMethods, call, result);
}

void AudioPlayer::handleLoad(const AudioArguments& arguments, const FlutterResult& result) {
  const auto* source = arguments.entry("audioSource");
  auto initialPosition = arguments.integerOrNull("initialPosition");
  auto initialIndex = arguments.integerOrNull("initialIndex");
  load(source != nullptr ? *source : flutter::Value(),
       initialPosition ? timeFromMicroseconds(*initialPosition) : kCMTimeInvalid, initialIndex,
       result);
}

void AudioPlayer::handlePlay(const AudioArguments&, const FlutterResult& result) { play(result); }

void AudioPlayer::handlePause(const AudioArguments&, const FlutterResult& result) {
  pause();
  result(emptyMap());
}

void AudioPlayer::handleSetVolume(const AudioArguments& arguments, const FlutterResult& result) {
  setVolume(static_cast<float>(std::clamp(arguments.finiteNumber("volume"), 0.0, 1.0)));
  result(emptyMap());
}

void AudioPlayer::handleIgnored(const AudioArguments&, const FlutterResult& result) {
  result(emptyMap());
}

void AudioPlayer::handleSetSpeed(const AudioArguments& arguments, const FlutterResult& result) {
  setSpeed(static_cast<float>(std::clamp(arguments.finiteNumber("speed"), kMinSpeed, kMaxSpeed)));
  result(emptyMap());
}

void AudioPlayer::handleSetLoopMode(const AudioArguments& arguments, const FlutterResult& result) {
  setLoopMode(arguments.int32("loopMode"));
  result(emptyMap());
}

void AudioPlayer::handleSetShuffleMode(const AudioArguments& arguments,
                                       const FlutterResult& result) {
  setShuffleModeEnabled(arguments.integer("shuffleMode") == 1);
  result(emptyMap());
}

void AudioPlayer::handleSetShuffleOrder(const AudioArguments& arguments,
                                        const FlutterResult& result) {
  const auto* source = arguments.entry("audioSource");
  setShuffleOrder(source != nullptr ? *source : flutter::Value());
  result(emptyMap());
}

void AudioPlayer::handleSetAutomaticallyWaits(const AudioArguments& arguments,
                                              const FlutterResult& result) {
  setAutomaticallyWaitsToMinimizeStalling(arguments.boolean("enabled"));
  result(emptyMap());
}

void AudioPlayer::handleSetCanUseNetwork(const AudioArguments& arguments,
                                         const FlutterResult& result) {
  setCanUseNetworkResourcesForLiveStreamingWhilePaused(arguments.boolean("enabled"));
  result(emptyMap());
}

void AudioPlayer::handleSetPreferredPeakBitRate(const AudioArguments& arguments,
                                                const FlutterResult& result) {
  const auto* bitRate = arguments.entry("bitRate");
  if (bitRate != nullptr && !bitRate->isNull() && !bitRate->isNumber()) {
    throw AudioPlayerException("bitRate must be a number");
  }
  setPreferredPeakBitRate(bitRate != nullptr ? std::optional<flutter::Value>(*bitRate)
                                             : std::nullopt);
  result(emptyMap());
}

void AudioPlayer::handleSetAllowsExternalPlayback(const AudioArguments& arguments,
                                                  const FlutterResult& result) {
  setAllowsExternalPlayback(arguments.integer("allowsExternalPlayback") == 1);
  result(emptyMap());
}

void AudioPlayer::handleSeek(const AudioArguments& arguments, const FlutterResult& result) {
  auto position = arguments.integerOrNull("position");
  seek(position ? timeFromMicroseconds(*position) : kCMTimePositiveInfinity,
       arguments.integerOrNull("index"), [result](bool) { result(emptyMap()); });
}

void AudioPlayer::handleInsertAll(const AudioArguments& arguments, const FlutterResult& result) {
  concatenatingInsertAll(arguments.string("id"), arguments.integer("index"),
                         arguments.list("children"),
                         readShuffleOrder(arguments.entry("shuffleOrder")));
  result(emptyMap());
}

void AudioPlayer::handleRemoveRange(const AudioArguments& arguments, const FlutterResult& result) {
  concatenatingRemoveRange(arguments.string("id"), arguments.integer("startIndex"),
                           arguments.integer("endIndex"),
                           readShuffleOrder(arguments.entry("shuffleOrder")));
  result(emptyMap());
}

void AudioPlayer::handleMove(const AudioArguments& arguments, const FlutterResult& result) {
  concatenatingMove(arguments.string("id"), arguments.integer("currentIndex"),
                    arguments.integer("newIndex"),
                    readShuffleOrder(arguments.entry("shuffleOrder")));
  result(emptyMap());
}

}  // namespace playlist_audio
