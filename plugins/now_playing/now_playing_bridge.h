// The process-wide side of the now-playing bridge: one playback state, one set of remote
// commands and one handler channel, however many engines register the plug-in. It publishes what
// plays to the system's now-playing centre and turns the user's remote commands into calls on the
// handler channel.
//
// Inactive (no command centre) until a state says that something plays; active until
// stopService. Everything it holds lives for the process.
#pragma once

#include <array>
#include <functional>
#include <bitset>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/flutter/flutter_method_channel.h"
#include "platform/mediaplayer/mp_media_item_artwork.h"
#include "platform/mediaplayer/mp_now_playing_info_center.h"
#include "platform/mediaplayer/mp_remote_command_center.h"
#include "plugins/now_playing/now_playing_arguments.h"
#include "plugins/now_playing/now_playing_fields.h"
#include "plugins/now_playing/remote_command_table.h"

namespace now_playing {

class NowPlayingBridge : public std::enable_shared_from_this<NowPlayingBridge> {
 public:
  explicit NowPlayingBridge(std::shared_ptr<FlutterMethodChannel> handlerChannel);

  void configure(const SkipIntervals& intervals);
  void setState(const PlaybackState& state);
  // Stores the item and publishes it; its artwork file is read off the main thread, one read at
  // a time on the bridge's own queue, and `done` runs on the main queue once the item (with its
  // artwork, if any loaded) is published, or once a later item superseded it. A read whose item
  // is superseded before it starts is not made.
  void setMediaItem(std::optional<MediaItem> item, std::function<void()> done);
  void stopService();

 private:
  void activateCommandCenter();
  void updateControls();
  void updateControl(size_t action);
  void addTarget(size_t action, MPRemoteCommand& command);
  MPRemoteCommandHandlerStatus sendCommand(size_t action, const MPRemoteCommandEvent& event);
  void updateNowPlayingInfo();
  void applyArtwork(uint64_t generation, const std::shared_ptr<MPMediaItemArtwork>& artwork);
  bool isLatestItem(uint64_t generation);

  const std::shared_ptr<FlutterMethodChannel> handler_channel_;
  const std::shared_ptr<MPNowPlayingInfoCenter> info_center_ =
      MPNowPlayingInfoCenter::defaultCenter();
  // Art files are read here, in order: a burst of items takes one worker, not one each.
  const dispatch_queue_t artwork_queue_ =
      dispatch_queue_create("now_playing.artwork", DISPATCH_QUEUE_SERIAL);

  // Calls and commands arrive on the main thread; the lock keeps that safe should they not.
  std::mutex mutex_;
  // Null while inactive.
  std::shared_ptr<MPRemoteCommandCenter> command_center_;
  // The command of each action number while active.
  std::array<std::shared_ptr<MPRemoteCommand>, kActionCount> commands_;
  std::bitset<kActionCount> actions_;
  bool controls_applied_ = false;
  bool playing_ = false;
  int64_t position_ = 0;
  std::optional<double> speed_ = 1.0;
  std::optional<MediaItem> media_item_;
  std::shared_ptr<MPMediaItemArtwork> artwork_;
  // Counts the items set, so that an artwork read for an item superseded since is dropped.
  uint64_t media_item_generation_ = 0;
  SkipIntervals intervals_;
  NowPlayingFields fields_;
};

}  // namespace now_playing
