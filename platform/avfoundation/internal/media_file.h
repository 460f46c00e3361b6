// A media file opened with FFmpeg's libraries for the assets of file URLs. The file is opened as
// callers' files are (a regular file only, without blocking, within a size limit) and FFmpeg
// reads it through that descriptor, never by path. Not thread-safe: one user at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset_track_properties.h"
#include "platform/avfoundation/av_metadata_item.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/foundation/ns_error.h"

struct AVFormatContext;

namespace avfoundation::internal {

// The largest media file an asset opens.
inline constexpr uint64_t kMaxMediaFileBytes = uint64_t{16} << 30;

// What probing a file tells: its duration, its audio and video tracks, its descriptive metadata.
struct MediaProbe {
  CMTime duration = kCMTimeZero;
  std::vector<AVAssetTrackProperties> tracks;
  std::vector<AVMetadataItem> commonMetadata;
};

class MediaFile {
 public:
  // Opens and probes the file; nullptr and `error` (the platform's error for a file that is
  // missing, unreadable or not media it can play) otherwise.
  static std::unique_ptr<MediaFile> open(const std::string& path, NSError* error);
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;

  AVFormatContext* format() const { return format_; }
  MediaProbe probe() const;

 private:
  struct Input;
  MediaFile(std::unique_ptr<Input> input, AVFormatContext* format);

  std::unique_ptr<Input> input_;
  AVFormatContext* format_;
};

// The error of a remote resource: without a network, as the platform fails offline.
NSError offlineError();

}  // namespace avfoundation::internal
