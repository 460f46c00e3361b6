#include "platform/avfoundation/internal/library_access.h"

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_player_item_video_output.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/internal/media_file.h"
#include "platform/foundation/ns_log.h"

namespace avfoundation::internal {

bool LibraryAccess::isLibraryBacked(const AVURLAsset& asset) { return asset.library_backed_; }

std::shared_ptr<const foundation::RegularFile> LibraryAccess::file(AVURLAsset& asset) {
  std::lock_guard lock(asset.content_mutex_);
  if (auto open = asset.library_file_.lock()) return open;
  if (!asset.library_identity_) return nullptr;  // never probed
  // Opening a regular file never blocks (it is opened non-blocking), so this is short anywhere.
  auto reopened = MediaFile::openFile(asset.libraryFilePath(), nullptr);
  if (!reopened || reopened->identity() != asset.library_identity_) {
    NSLog("A media file changed or went away since it was opened: it is not played again");
    return nullptr;
  }
  asset.library_file_ = reopened;
  return reopened;
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
