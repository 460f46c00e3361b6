// What FFmpeg may do on the host's behalf, set in this one place: a media file is the one local
// file its asset opened, so only demuxers that read the bytes they are given are allowed (no
// manifests, playlists, session descriptions or concatenation lists), every nested open and every
// protocol is refused, the library logs nothing, every open and probe has a deadline in CPU time
// with a wall-clock backstop, and a probe reads and decodes only so much (no picture larger than
// the host plays, on one thread). docs/decisions.md lists the same.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

namespace avfoundation::internal {

// The demuxers a media file may be read with, as FFmpeg's format_whitelist.
extern const char* const kAllowedDemuxers;

// The decoders a stream may be decoded with, as FFmpeg's codec_whitelist: those of the sound and
// motion pictures the host plays. Still-picture formats (TIFF, EXR, WebP, GIF, BMP, JPEG 2000 ...)
// are not among them: they inflate a small packet into a huge picture and nothing plays them.
extern const char* const kAllowedDecoders;

// Whether the host lets `codec` decode a stream.
bool isDecoderAllowed(const AVCodec& codec);

// What every decoder the host opens is held to: no picture larger than the host plays (refused
// before it is made), only the allowed decoders.
void restrictDecoder(AVCodecContext& context);

// CPU time an open and probe of one file may take, and the wall time it may take at most.
inline constexpr std::chrono::seconds kProbeCpuBudget{20};
inline constexpr std::chrono::seconds kProbeWallBudget{120};

// What avformat_find_stream_info may read: bytes, the span of media, the frames it times.
inline constexpr int64_t kProbeBytes = 5'000'000;
inline constexpr int64_t kProbeAnalyzeMicroseconds = 10'000'000;
inline constexpr int kProbeRateFrames = 20;
// The streams a media file may have: every one costs the probe a decoder, whether it plays or not.
inline constexpr int kMaxMediaStreams = 64;

// Once per process: the library's own log stays silent (a damaged file would write to the host's
// output without bound; the decoders report what matters themselves).
void applyLibraryWideSettings();

// Restricts `format` (allocated, not yet opened) to what a media file may do: the allowed
// demuxers and, for the decoders its probe opens, the allowed decoders; no nested open, no
// protocol.
void restrictFormatContext(AVFormatContext& format);

// The options avformat_open_input gets for a media file; the caller frees them.
AVDictionary* openOptions();

// The options of each stream's decoder while avformat_find_stream_info probes: no picture larger
// than the host plays (the decoder refuses it before decoding a pixel), one thread. Freed with it.
class StreamProbeOptions {
 public:
  explicit StreamProbeOptions(unsigned streams);
  ~StreamProbeOptions();
  StreamProbeOptions(const StreamProbeOptions&) = delete;
  StreamProbeOptions& operator=(const StreamProbeOptions&) = delete;
  AVDictionary** get() { return options_.empty() ? nullptr : options_.data(); }
  // The stream's decoder refuses pictures of more than `pixels`: what its probe holds room for.
  void limitPixels(unsigned stream, int64_t pixels);

 private:
  std::vector<AVDictionary*> options_;
};

// Whether `format` holds no more streams than a media file may have, however its demuxer found
// them (in a header, or in packets read so far); from now on it makes no stream past that many.
// Until this is asked, the demuxer may make one stream more than allowed, so that a file of too
// many streams shows as such even where the demuxer would drop the rest without failing.
bool withinStreamCap(AVFormatContext& format);

// Makes every stream of `format` (opened, not yet probed) known before the probe, so that each gets
// the probe's options: a container that announces streams only in its packets (flv, MPEG-TS,
// program streams) has its packets read, up to the bytes a probe reads, and is set back to where
// its packets start. False when it cannot be set back.
bool announceEveryStream(AVFormatContext& format);

// While it lives, `format` may make no stream beyond those it has: avformat_find_stream_info would
// probe a new one with FFmpeg's own decoder options.
class NoNewStreams {
 public:
  explicit NoNewStreams(AVFormatContext& format);
  ~NoNewStreams();
  NoNewStreams(const NoNewStreams&) = delete;
  NoNewStreams& operator=(const NoNewStreams&) = delete;

 private:
  AVFormatContext& format_;
  int allowed_;
};

// The io_open of every format context: refuses every nested open.
int refuseNestedOpen(AVFormatContext* format, AVIOContext** io, const char* url, int flags,
                     AVDictionary** options);

// A budget of CPU time on the calling thread, with a wall-clock backstop. Cheap to ask.
class ProbeDeadline {
 public:
  ProbeDeadline();
  bool passed() const;

 private:
  double cpu_start_;
  std::chrono::steady_clock::time_point wall_end_;
};

}  // namespace avfoundation::internal
