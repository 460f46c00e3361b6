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
  // The file a library-backed asset opened when it was probed; null before that, for the model
  // and for a remote URL.
  static std::shared_ptr<const foundation::RegularFile> file(const AVURLAsset& asset);
  static std::shared_ptr<ItemClock> clock(const AVPlayerItem& item);
  // Null for the model, or an item without audio.
  static std::shared_ptr<const MediaAudioSink> audioSink(const AVPlayerItem& item);
  static const std::shared_ptr<VideoFrameQueue>& frames(const AVPlayerItemVideoOutput& output);
};

}  // namespace avfoundation::internal
