#include "platform/avfoundation/internal/media_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include "platform/avfoundation/internal/ffmpeg_settings.h"
#include "platform/avfoundation/internal/media_probes.h"
#include "platform/foundation/system_error.h"

namespace avfoundation::internal {
namespace {

constexpr const char* kAVFoundationErrorDomain = "AVFoundationErrorDomain";
constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";
constexpr long kFileFormatNotRecognized = -11828;  // AVErrorFileFormatNotRecognized
constexpr long kFileDoesNotExist = -1100;          // NSURLErrorFileDoesNotExist
constexpr long kNoPermissionsToReadFile = -1102;   // NSURLErrorNoPermissionsToReadFile
constexpr long kNotConnectedToInternet = -1009;    // NSURLErrorNotConnectedToInternet
constexpr int kReadBufferBytes = 64 * 1024;

NSError cannotOpen(const std::string& reason) {
  return NSError{kAVFoundationErrorDomain, kFileFormatNotRecognized, "Cannot Open", reason};
}

NSError fileError(foundation::RegularFileError error, int cause) {
  // A resource ran out (descriptors, memory): no fault of the file, so say what it is.
  if (error == foundation::RegularFileError::kUnreadable &&
      foundation::classifySystemError(cause) == foundation::SystemErrorClass::kLimit) {
    return NSError{kPOSIXErrorDomain, cause,
                   std::string("The operation couldn't be completed. ") + std::strerror(cause)};
  }
  switch (error) {
    case foundation::RegularFileError::kNotFound:
      return NSError{kURLErrorDomain, kFileDoesNotExist,
                     "The requested URL was not found on this server."};
    case foundation::RegularFileError::kUnreadable:
      return NSError{kURLErrorDomain, kNoPermissionsToReadFile,
                     "The file couldn't be opened because you don't have permission to view it."};
    case foundation::RegularFileError::kNotRegular:
    case foundation::RegularFileError::kTooLarge:
      break;
  }
  return cannotOpen(foundation::describe(error));
}

// The FourCC as the platform writes it ('avc1' is 0x61766331).
uint32_t fourCharCode(const AVCodecParameters& codec) {
  if (codec.codec_tag != 0) {
    uint32_t tag = codec.codec_tag;
    return (tag & 0xFF) << 24 | ((tag >> 8) & 0xFF) << 16 | ((tag >> 16) & 0xFF) << 8 | tag >> 24;
  }
  switch (codec.codec_id) {
    case AV_CODEC_ID_H264: return 0x61766331;  // 'avc1'
    case AV_CODEC_ID_HEVC: return 0x68766331;  // 'hvc1'
    case AV_CODEC_ID_VP9: return 0x76703039;   // 'vp09'
    case AV_CODEC_ID_AAC: return 0x6D703461;   // 'mp4a'
    default: return 0;
  }
}

// The display matrix's rotation as the platform's preferred transform (clockwise turns).
CGAffineTransform rotationOf(const AVStream& stream) {
  const uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  if (matrix == nullptr) return CGAffineTransformIdentity;
  double counterclockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (!std::isfinite(counterclockwise)) return CGAffineTransformIdentity;
  double radians = -counterclockwise * M_PI / 180.0;
  // Quarter turns come out exact, as the platform stores them.
  auto exact = [](double value) { return std::fabs(value) < 1e-9 ? 0.0 : std::round(value * 1e9) / 1e9; };
  double cosine = exact(std::cos(radians)), sine = exact(std::sin(radians));
  return CGAffineTransform{cosine, sine, -sine, cosine, 0, 0};
}

// A stream the host has a decoder for, and lets it decode.
bool isDecodable(const AVCodecParameters& codec) {
  const AVCodec* decoder = avcodec_find_decoder(codec.codec_id);
  return decoder != nullptr && isDecoderAllowed(*decoder);
}

std::string tagOf(AVDictionary* dictionary, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(dictionary, key, nullptr, 0);
  return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

// What the probe of the stream that plays decodes at most: its declared size, as a decoder
// counts it (rows padded to 64 pixels, picture height to 16), or the largest allowed when it
// declares none.
int64_t probedPixels(const AVCodecParameters& codec) {
  if (codec.width <= 0 || codec.height <= 0 || !isPictureSizeAllowed(codec.width, codec.height)) {
    return kMaxPicturePixels;
  }
  auto padded = [](int64_t side, int64_t to) { return (side + to - 1) / to * to; };
  return std::min(kMaxPicturePixels, padded(codec.width, 64) * padded(codec.height, 16));
}

}  // namespace

int bestAllowedStream(AVFormatContext* format, int type, const AVCodec** codec) {
  const auto kind = static_cast<AVMediaType>(type);
  int best = av_find_best_stream(format, kind, -1, -1, codec, 0);
  if (best >= 0 && *codec != nullptr && isDecoderAllowed(**codec)) return best;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream& stream = *format->streams[i];
    if (stream.codecpar->codec_type != kind ||
        (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
      continue;
    }
    const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
    if (decoder != nullptr && isDecoderAllowed(*decoder)) {
      *codec = decoder;
      return static_cast<int>(i);
    }
  }
  return -1;
}

// FFmpeg reads the file through its descriptor, positioned by hand, never past the size the file
// had when it was opened.
struct MediaFile::Input {
  std::shared_ptr<const foundation::RegularFile> file;
  CancelFlag cancelled;
  // Set while the file is opened and probed.
  std::optional<ProbeDeadline> deadline;
  int64_t position = 0;
  bool cut = false;
  AVIOContext* io = nullptr;

  Input(std::shared_ptr<const foundation::RegularFile> opened, CancelFlag cancel)
      : file(std::move(opened)), cancelled(std::move(cancel)) {}
  ~Input() {
    if (io != nullptr) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }

  int64_t size() const { return static_cast<int64_t>(file->size()); }
  bool isCancelled() const {
    return (cancelled && cancelled->load(std::memory_order_acquire)) ||
           (deadline && deadline->passed());
  }

  static int read(void* opaque, uint8_t* buffer, int size) {
    auto* input = static_cast<Input*>(opaque);
    if (input->isCancelled()) return AVERROR_EXIT;
    int64_t left = input->size() - input->position;
    if (left <= 0 || size <= 0) return AVERROR_EOF;
    auto wanted = static_cast<size_t>(std::min<int64_t>(size, left));
    ssize_t got;
    do {
      got = pread(input->file->fd(), buffer, wanted, input->position);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) input->cut = true;
    if (got < 0) return AVERROR(EIO);
    if (got == 0) return AVERROR_EOF;  // truncated since it was opened
    input->position += got;
    return static_cast<int>(got);
  }

  static int64_t seek(void* opaque, int64_t offset, int whence) {
    auto* input = static_cast<Input*>(opaque);
    int64_t target;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return input->size();
      case SEEK_SET: target = offset; break;
      case SEEK_CUR: target = input->position + offset; break;
      case SEEK_END: target = input->size() + offset; break;
      default: return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    input->position = target;
    return target;
  }

  static int interrupted(void* opaque) { return static_cast<Input*>(opaque)->isCancelled() ? 1 : 0; }
};

std::shared_ptr<const foundation::RegularFile> MediaFile::openFile(const std::string& path,
                                                                   NSError* error) {
  foundation::RegularFileError fileProblem{};
  errno = 0;
  auto file = foundation::RegularFile::open(path, kMaxMediaFileBytes, &fileProblem);
  int cause = errno;
  if (!file) {
    if (error != nullptr) *error = fileError(fileProblem, cause);
    return nullptr;
  }
  return std::make_shared<const foundation::RegularFile>(std::move(*file));
}

std::unique_ptr<MediaFile> MediaFile::open(std::shared_ptr<const foundation::RegularFile> file,
                                           NSError* error, CancelFlag cancelled,
                                           ProbedStreams streams) {
  // A container may declare a smaller picture than its frames are: the probe takes room for the
  // declared one, and the decoder refuses anything larger. Then the file is probed once more,
  // after waiting for the room its real picture takes.
  int64_t morePixels = 0;
  auto media = attempt(file, error, cancelled, streams, 0, &morePixels);
  if (media || morePixels == 0) return media;
  int64_t stillMore = 0;
  media = attempt(std::move(file), error, std::move(cancelled), streams, morePixels, &stillMore);
  return media;
}

std::unique_ptr<MediaFile> MediaFile::attempt(std::shared_ptr<const foundation::RegularFile> file,
                                              NSError* error, CancelFlag cancelled,
                                              ProbedStreams streams, int64_t leastPixels,
                                              int64_t* morePixels) {
  auto fail = [error](NSError reported) {
    if (error != nullptr) *error = std::move(reported);
    return nullptr;
  };
  if (!file) return fail(cannotOpen("This media format is not supported."));
  applyLibraryWideSettings();
  auto input = std::make_unique<Input>(std::move(file), std::move(cancelled));
  input->deadline.emplace();
  auto* buffer = static_cast<uint8_t*>(av_malloc(kReadBufferBytes));
  if (buffer == nullptr) return fail(cannotOpen("Out of memory."));
  input->io = avio_alloc_context(buffer, kReadBufferBytes, 0, input.get(), &Input::read, nullptr,
                                 &Input::seek);
  if (input->io == nullptr) {
    av_free(buffer);
    return fail(cannotOpen("Out of memory."));
  }
  AVFormatContext* format = avformat_alloc_context();
  if (format == nullptr) return fail(cannotOpen("Out of memory."));
  format->pb = input->io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  format->interrupt_callback = AVIOInterruptCB{&Input::interrupted, input.get()};
  restrictFormatContext(*format);
  AVDictionary* options = openOptions();
  // On failure avformat_open_input frees the context itself.
  int opened = avformat_open_input(&format, nullptr, nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) return fail(cannotOpen("This media format is not supported."));
  Input* reading = input.get();
  std::unique_ptr<MediaFile> media(new MediaFile(std::move(input), format));
  media->streams_ = streams;
  // avformat_find_stream_info takes decoder options only for the streams known when it starts,
  // and probes any it meets later with FFmpeg's own: every stream is made known first, and no
  // new one may appear while it probes.
  if (!announceEveryStream(*format)) return fail(cannotOpen("This media may be damaged."));
  // Counted once every stream the probe will meet is known, whether the header or the packets
  // told them.
  if (!withinStreamCap(*format)) return fail(cannotOpen("This media format is not supported."));
  StreamProbeOptions perStream(format->nb_streams);
  // A decoder that refuses a picture's size leaves it unknown: what the header said is kept.
  std::vector<std::pair<int, int>> declared;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    declared.emplace_back(format->streams[i]->codecpar->width, format->streams[i]->codecpar->height);
  }
  // Only the streams a player would play are decoded: a file of many tracks costs the probe one
  // picture, and that picture's pixels wait for room among what the other probes decode.
  const AVCodec* codec = nullptr;
  const int video = streams == ProbedStreams::kAudioOnly
                        ? -1
                        : bestAllowedStream(format, AVMEDIA_TYPE_VIDEO, &codec);
  const int audio = streams == ProbedStreams::kVideoOnly
                        ? -1
                        : bestAllowedStream(format, AVMEDIA_TYPE_AUDIO, &codec);
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (static_cast<int>(i) != video && static_cast<int>(i) != audio) {
      format->streams[i]->discard = AVDISCARD_ALL;
    }
  }
  const int64_t room =
      video < 0 ? 0
                : std::clamp<int64_t>(std::max(probedPixels(*format->streams[video]->codecpar),
                                               leastPixels),
                                      1, kMaxPicturePixels);
  auto pixels = ProbePixels::reserve(room, [reading] { return reading->isCancelled(); });
  if (!pixels) return fail(cannotOpen("This media may be damaged."));
  if (video >= 0) perStream.limitPixels(static_cast<unsigned>(video), room);
  int probed;
  {
    NoNewStreams known(*format);
    probed = avformat_find_stream_info(format, perStream.get());
  }
  for (unsigned i = 0; i < format->nb_streams; ++i) format->streams[i]->discard = AVDISCARD_DEFAULT;
  if (video >= 0) {
    const AVCodecParameters& played = *format->streams[video]->codecpar;
    // A decoder refusing a picture larger than its room leaves the size unknown: what it is
    // cannot be told, so the room is that of the largest picture the host plays.
    const bool unknown = played.width <= 0 || played.height <= 0;
    const int64_t decoded = unknown ? kMaxPicturePixels : int64_t{played.width} * played.height;
    if (decoded > room && (unknown || isPictureSizeAllowed(played.width, played.height))) {
      *morePixels = decoded;
      return fail(cannotOpen("This media may be damaged."));
    }
  }
  if (probed < 0) return fail(cannotOpen("This media may be damaged."));
  // Playing reads on without a deadline: its pace is the player's.
  reading->deadline.reset();
  bool playable = false;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVCodecParameters& codec = *format->streams[i]->codecpar;
    const bool video = codec.codec_type == AVMEDIA_TYPE_VIDEO;
    // Pictures played for their sound only are never decoded: whatever their size, a sound
    // beside them plays, and without one the file completes where it stands.
    if (video && streams == ProbedStreams::kAudioOnly) {
      if (audio < 0 && isDecodable(codec)) playable = true;
      continue;
    }
    if (video && (!isPictureSizeAllowed(codec.width, codec.height) ||
                  (i < declared.size() &&
                   !isPictureSizeAllowed(declared[i].first, declared[i].second)))) {
      return fail(cannotOpen("This media's pictures are too large."));
    }
    // Pictures of a size still unknown are none a decoder would show.
    if (video && (codec.width <= 0 || codec.height <= 0)) continue;
    if ((video || codec.codec_type == AVMEDIA_TYPE_AUDIO) && isDecodable(codec)) playable = true;
  }
  if (!playable) return fail(cannotOpen("This media format is not supported."));
  return media;
}

MediaFile::MediaFile(std::unique_ptr<Input> input, AVFormatContext* format)
    : input_(std::move(input)), format_(format) {}

MediaFile::~MediaFile() { avformat_close_input(&format_); }

const std::shared_ptr<const foundation::RegularFile>& MediaFile::file() const {
  return input_->file;
}

bool MediaFile::wasCut() const { return input_->cut; }

MediaProbe MediaFile::probe() const {
  MediaProbe probe;
  // A file that does not tell its length (a raw stream) keeps the indefinite duration.
  if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    probe.duration = CMTimeMake(format_->duration, AV_TIME_BASE);
  }
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    const AVStream& stream = *format_->streams[i];
    const AVCodecParameters& codec = *stream.codecpar;
    AVAssetTrackProperties track;
    track.trackID = static_cast<int32_t>(i + 1);
    track.mediaType = codec.codec_type == AVMEDIA_TYPE_VIDEO ? AVMediaTypeVideo : AVMediaTypeAudio;
    if (codec.codec_type == AVMEDIA_TYPE_VIDEO && streams_ == ProbedStreams::kAudioOnly) continue;
    if (codec.codec_type == AVMEDIA_TYPE_VIDEO) {
      track.naturalSize = CGSize{static_cast<double>(codec.width), static_cast<double>(codec.height)};
      track.preferredTransform = rotationOf(stream);
      AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
      if (rate.num > 0 && rate.den > 0) {
        track.nominalFrameRate = static_cast<float>(av_q2d(rate));
        track.minFrameDuration = CMTimeMake(rate.den, rate.num);
      }
    } else if (codec.codec_type != AVMEDIA_TYPE_AUDIO) {
      continue;
    }
    // A stream no decoder of the host's plays is no track.
    if (!isDecodable(codec)) continue;
    track.estimatedDataRate = static_cast<float>(codec.bit_rate);
    track.languageCode = tagOf(stream.metadata, "language");
    if (track.languageCode == "und") track.languageCode.clear();
    track.codecType = fourCharCode(codec);
    probe.tracks.push_back(std::move(track));
  }
  for (const char* key : {"title", "artist", "album", "comment", "date", "copyright"}) {
    std::string value = tagOf(format_->metadata, key);
    if (value.empty()) continue;
    probe.commonMetadata.push_back(AVMetadataItem{std::string("common/") + key, value, key,
                                                  AVMetadataKeySpaceCommon});
  }
  return probe;
}

NSError offlineError() {
  return NSError{kURLErrorDomain, kNotConnectedToInternet,
                 "The Internet connection appears to be offline."};
}

}  // namespace avfoundation::internal
