// What the media library's backing reads of the platform's objects, which show none of it.
#pragma once

#include <memory>

#include "platform/foundation/regular_file.h"

class AVURLAsset;
class AVPlayerItem;
class AVPlayerItemVideoOutput;

namespace avfoundation::internal {

class ItemClock;
class MediaAudioSink;
class VideoFrameQueue;

struct LibraryAccess {
  static bool isLibraryBacked(const AVURLAsset& asset);
  // The file a library-backed asset opened when it was probed, opened again if nothing holds it
  // now; null before the probe, for the model, for a remote URL, and once the file at the path is
  // no longer the one probed.
  static std::shared_ptr<const foundation::RegularFile> file(AVURLAsset& asset);
  static std::shared_ptr<ItemClock> clock(const AVPlayerItem& item);
  // Null for the model, or an item without audio.
  static std::shared_ptr<const MediaAudioSink> audioSink(const AVPlayerItem& item);
  static const std::shared_ptr<VideoFrameQueue>& frames(const AVPlayerItemVideoOutput& output);
};

}  // namespace avfoundation::internal
