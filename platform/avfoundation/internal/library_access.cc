#include "platform/avfoundation/internal/library_access.h"

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_player_item_video_output.h"
#include "platform/avfoundation/av_url_asset.h"

namespace avfoundation::internal {

bool LibraryAccess::isLibraryBacked(const AVURLAsset& asset) { return asset.library_backed_; }

std::shared_ptr<const foundation::RegularFile> LibraryAccess::file(const AVURLAsset& asset) {
  std::lock_guard lock(asset.content_mutex_);
  return asset.library_file_;
}

std::shared_ptr<ItemClock> LibraryAccess::clock(const AVPlayerItem& item) { return item.clock_; }

std::shared_ptr<const MediaAudioSink> LibraryAccess::audioSink(const AVPlayerItem& item) {
  return item.audio_sink_;
}

const std::shared_ptr<VideoFrameQueue>& LibraryAccess::frames(
    const AVPlayerItemVideoOutput& output) {
  return output.frames_;
}

}  // namespace avfoundation::internal
