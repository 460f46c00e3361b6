// One audio or video stream of a media file with its decoder open: the decode loop (packets in,
// frames out, the decoder drained at the end of the file), seeks, and each frame's time. What the
// video feed and the audio sink share. Not thread-safe: one user at a time.
#pragma once

#include <memory>
#include <string>

#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/internal/ffmpeg_handles.h"

namespace avfoundation::internal {

class MediaFile;

enum class StreamKind { kVideo, kAudio };

class StreamDecoder {
 public:
  // The file's best stream of `kind` with its decoder; nullptr when there is none to decode.
  static std::unique_ptr<StreamDecoder> open(const std::string& path, StreamKind kind);
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // The next frame in presentation order, valid until the next call; nullptr at the end of the
  // stream or on an error.
  const AVFrame* next();
  // Moves to the key frame at or before `seconds` of the item's time; decoding restarts there.
  void seek(double seconds);
  // The last frame's time from the start of the stream, in the stream's own time base (so that it
  // compares exactly with item times).
  CMTime presentationTime() const;
  const AVCodecContext& codec() const { return *context_; }

 private:
  StreamDecoder(std::unique_ptr<MediaFile> file, int stream,
                std::unique_ptr<AVCodecContext, CodecContextDeleter> context);

  std::unique_ptr<MediaFile> file_;
  int stream_;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
  bool draining_ = false;
};

}  // namespace avfoundation::internal
