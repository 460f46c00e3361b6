// A media file opened with FFmpeg's libraries for the assets of file URLs. The file is opened as
// callers' files are (a regular file only, without blocking, within a size limit) and FFmpeg
// reads it through that descriptor, never by path, and never past the size it had when opened.
// Every decoder of an asset reads the one descriptor the asset opened, each at its own position,
// so a file replaced or grown on disk plays as it was. Not thread-safe: one user at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset_track_properties.h"
#include "platform/avfoundation/av_metadata_item.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/regular_file.h"

struct AVCodec;
struct AVFormatContext;

namespace avfoundation::internal {

// The largest media file an asset opens.
inline constexpr uint64_t kMaxMediaFileBytes = uint64_t{16} << 30;
// The largest picture a video track may have: 8192 pixels on each side, so at most 8192 x 8192
// (a decoded 32BGRA frame of it takes 256 MiB).
inline constexpr int kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = int64_t{kMaxPictureSide} * kMaxPictureSide;
inline bool isPictureSizeAllowed(int64_t width, int64_t height) {
  return width <= kMaxPictureSide && height <= kMaxPictureSide;
}

// Set from any thread, it stops the reads of a file at once.
using CancelFlag = std::shared_ptr<const std::atomic<bool>>;

// What probing a file tells: its duration (indefinite when the file does not say), its audio and
// video tracks, its descriptive metadata.
struct MediaProbe {
  CMTime duration = kCMTimeIndefinite;
  std::vector<AVAssetTrackProperties> tracks;
  std::vector<AVMetadataItem> commonMetadata;
};

// The streams a probe decodes: those a player would play (an asset's probe), or only the one
// kind a decoder (or an asset played for its sound) plays, the others discarded at the demuxer.
enum class ProbedStreams { kPlayed, kVideoOnly, kAudioOnly };

class MediaFile {
 public:
  // Opens the file as a caller's file; nullptr and `error` (the platform's error for a file that
  // is missing, unreadable or not media it can play) otherwise.
  static std::shared_ptr<const foundation::RegularFile> openFile(const std::string& path,
                                                                 NSError* error);
  // Reads the media in `file`; nullptr and `error` when it is not media the host can play. Reads
  // fail at once once `cancelled` is set.
  static std::unique_ptr<MediaFile> open(std::shared_ptr<const foundation::RegularFile> file,
                                         NSError* error, CancelFlag cancelled = nullptr,
                                         ProbedStreams probed = ProbedStreams::kPlayed);
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;

  AVFormatContext* format() const { return format_; }
  const std::shared_ptr<const foundation::RegularFile>& file() const;
  MediaProbe probe() const;
  // The file ended before the size it had when opened, or could not be read: it was cut.
  bool wasCut() const;

 private:
  struct Input;
  MediaFile(std::unique_ptr<Input> input, AVFormatContext* format);
  // One attempt at opening: the probe's picture takes room for at least `leastPixels`. When the
  // picture decoded is larger than the room taken, fails with `morePixels` set to its size.
  static std::unique_ptr<MediaFile> attempt(std::shared_ptr<const foundation::RegularFile> file,
                                            NSError* error, CancelFlag cancelled,
                                            ProbedStreams streams, int64_t leastPixels,
                                            int64_t* morePixels);

  std::unique_ptr<Input> input_;
  AVFormatContext* format_;
  ProbedStreams streams_ = ProbedStreams::kPlayed;
};

// FFmpeg's best stream of `type` (an AVMediaType) in `format`, unless the host refuses its
// decoder: then the first stream of the type (not a cover picture) whose decoder it allows, its
// decoder in `codec`. -1 when there is none. What a player plays, and so what a probe decodes.
int bestAllowedStream(AVFormatContext* format, int type, const AVCodec** codec);

// The error of a remote resource: without a network, as the platform fails offline.
NSError offlineError();

}  // namespace avfoundation::internal
