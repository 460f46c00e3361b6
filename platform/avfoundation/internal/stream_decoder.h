// One audio or video stream of a media file with its decoder open: the one decode loop of the
// host, which the players, the media_frames tool, the benchmark and the tests' reference share.
// Packets go in and frames come out in presentation order; a damaged packet costs only its own
// frame; every frame gets its place on the container's time line (streams that start late stay
// late), and frames without a timestamp, or repeating the one before, are timed from the stream's
// rate. A seek lands at or before its target in any container: at a key frame found there, else
// further back, else at the stream's start. Not thread-safe: one user at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/internal/ffmpeg_handles.h"
#include "platform/avfoundation/internal/media_file.h"

namespace avfoundation::internal {

enum class StreamKind { kVideo, kAudio };

// Threads FFmpeg decodes a player's video stream with, besides the decoding step's own: none, as
// for audio. FFmpeg's own threads would live as long as the decoder, resting or not.
inline constexpr int kVideoDecoderExtraThreads = 0;

// The bytes of a decoded frame's buffers.
size_t frameBytes(const AVFrame& frame);

struct DecodedFrame {
  const AVFrame* frame;  // valid until the next call
  CMTime time;           // on the container's time line
  CMTime duration;       // positive
  // The stream's first frame: decoding began at its start. Shown for times before it too.
  bool first = false;
  CMTime end() const { return CMTimeAdd(time, duration); }
};

class StreamDecoder {
 public:
  struct Options {
    StreamKind kind = StreamKind::kVideo;
    // Once set, reads fail at once and the stream ends.
    CancelFlag cancelled;
    // Threads FFmpeg decodes with besides the caller's; 0 decodes on the caller's thread alone.
    int extraThreads = 0;
  };

  // The file's best stream of the kind with its decoder; nullptr when there is none to decode.
  static std::unique_ptr<StreamDecoder> open(std::shared_ptr<const foundation::RegularFile> file,
                                             const Options& options);
  // A caller's file, opened as the assets open theirs.
  static std::unique_ptr<StreamDecoder> open(const std::string& path, const Options& options);
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // The next frame; nullopt at the end of the stream (or once cancelled).
  std::optional<DecodedFrame> next();
  // Decoding goes on from a point at or before `seconds`: the frames that follow start with one
  // at or before it (or with the stream's first frame, when that lies after it), so that decoding
  // forward finds the frame to show there. Where the demuxer cannot seek by time, or lands past
  // the target, decoding starts further back or at the stream's start. False, with nothing moved,
  // only when the file cannot be read again.
  bool seek(double seconds);
  // Where decoding stands: the end of the last frame; nullopt before the first after a seek.
  std::optional<CMTime> position() const { return position_; }
  const AVCodecContext& codec() const { return *context_; }
  // The file was cut on disk while it was read: the stream ended at what is left.
  bool fileCut() const { return media_->wasCut(); }
  // Decoding ended at the end of the stream: the demuxer's end of file, drained, with no packet
  // or frame lost after the last frame. A decoder that stopped for lack of memory, pictures too
  // large or damage ended short of it.
  bool reachedEndOfStream() const { return end_of_stream_; }
  // Frames every stream decoder of the process has made: what tests count decoding by.
  static uint64_t framesMadeInProcess();
  // Packets the decoder refused or frames it could not make, since the stream was opened.
  int64_t damagedPackets() const { return damaged_; }
  // The bytes of the picture the decoder still holds for the caller, and letting go of it (the
  // last frame is no longer valid).
  size_t heldBytes() const;
  void releaseFrame();

 private:
  StreamDecoder(std::unique_ptr<MediaFile> media, Options options);
  bool openDecoder();
  // Packets in, frames out; false at the end of the stream.
  bool decodeOne();
  DecodedFrame timed();
  // Where reading stood and how it ended, forgotten when it starts again elsewhere.
  void forgetWhereReadingWas();
  // The decoder refused a packet or could not make a frame (`error`): the log says why, a picture
  // too large, memory short or damage, and only damage counts as damaged.
  void refused(const char* what, int error);
  // Memory for one frame of the stream's current size can be had now.
  bool oneFrameFits() const;
  // FFmpeg could not get the memory for a packet or frame: it is skipped, and the log says why.
  void ranOutOfMemory(const char* what);
  int64_t frameDurationInStreamUnits() const;
  CMTime inSeconds(int64_t streamUnits) const;
  // Reopens the file from its start: the only way back in a stream whose times are not its own,
  // and the last resort of any other.
  bool rewind();
  // Asks the demuxer for the stream units `from` (from the container's start); false when it
  // cannot seek there.
  bool demuxerSeek(int64_t from);
  // While a seek lands: whether decoding may start at this packet of the stream. A packet past
  // the target before a usable one backs off.
  bool startsLanding(const AVPacket& packet);
  // The landing went past its target: tries again further back, at last from the start.
  void backOff();
  int64_t unitsOf(double seconds) const;

  std::unique_ptr<MediaFile> media_;
  const Options options_;
  int stream_ = -1;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
  bool draining_ = false;
  bool draining_at_end_of_file_ = false;
  bool end_of_stream_ = false;
  // A packet or frame was skipped since the last frame made.
  bool lost_since_frame_ = false;
  bool ended_ = false;
  // The container's start in the stream's units.
  int64_t origin_ = 0;
  // The last frame's start and end in the stream's units, from the container's start.
  std::optional<int64_t> last_start_;
  std::optional<int64_t> last_end_;
  // Where a stream without times of its own starts again after a seek.
  int64_t resume_at_ = 0;
  // Some frame had no time of its own: seeking by time cannot be trusted.
  bool times_made_up_ = false;
  // A seek landing: packets are skipped until a key frame at or before `target` (stream units
  // from the container's start) comes (`started`), and the first frame made from there must start
  // at or before it; otherwise the demuxer seeks `back_off` units before the target, and further.
  struct Landing {
    int64_t target;
    int64_t back_off;
    bool started;
  };
  std::optional<Landing> landing_;
  // Nothing decoded since the stream was opened (or opened again).
  bool at_start_ = true;
  std::optional<CMTime> position_;
  int64_t damaged_ = 0;
  bool short_of_memory_ = false;
  bool too_large_ = false;
  int consecutive_failures_ = 0;
};

}  // namespace avfoundation::internal
