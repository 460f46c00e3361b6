#include "platform/avfoundation/internal/stream_decoder.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/avfoundation/internal/media_file.h"

namespace avfoundation::internal {

std::unique_ptr<StreamDecoder> StreamDecoder::open(const std::string& path, StreamKind kind) {
  NSError error;
  auto file = MediaFile::open(path, &error);
  if (!file) return nullptr;
  AVFormatContext* format = file->format();
  const AVCodec* codec = nullptr;
  int stream = av_find_best_stream(
      format, kind == StreamKind::kVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO, -1, -1, &codec,
      0);
  if (stream < 0 || codec == nullptr) return nullptr;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context(avcodec_alloc_context3(codec));
  if (!context ||
      avcodec_parameters_to_context(context.get(), format->streams[stream]->codecpar) < 0) {
    return nullptr;
  }
#if defined(__SANITIZE_THREAD__)
  // FFmpeg's own threads synchronise through atomics built without ThreadSanitizer, which it
  // would report as races: that build decodes on the caller's thread alone.
  context->thread_count = 1;
#else
  if (kind == StreamKind::kVideo) context->thread_count = 0;  // as many as the machine offers
#endif
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  std::unique_ptr<StreamDecoder> decoder(
      new StreamDecoder(std::move(file), stream, std::move(context)));
  if (!decoder->packet_ || !decoder->frame_) return nullptr;
  return decoder;
}

StreamDecoder::StreamDecoder(std::unique_ptr<MediaFile> file, int stream,
                             std::unique_ptr<AVCodecContext, CodecContextDeleter> context)
    : file_(std::move(file)),
      stream_(stream),
      context_(std::move(context)),
      packet_(av_packet_alloc()),
      frame_(av_frame_alloc()) {}

StreamDecoder::~StreamDecoder() = default;

const AVFrame* StreamDecoder::next() {
  while (true) {
    int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received == 0) return frame_.get();
    if (received != AVERROR(EAGAIN) || draining_) return nullptr;
    if (av_read_frame(file_->format(), packet_.get()) < 0) {
      draining_ = true;
      avcodec_send_packet(context_.get(), nullptr);
      continue;
    }
    if (packet_->stream_index == stream_) avcodec_send_packet(context_.get(), packet_.get());
    av_packet_unref(packet_.get());
  }
}

void StreamDecoder::seek(double seconds) {
  const AVStream* stream = file_->format()->streams[stream_];
  int64_t target = av_rescale_q(static_cast<int64_t>(seconds * AV_TIME_BASE), AV_TIME_BASE_Q,
                                stream->time_base);
  if (stream->start_time != AV_NOPTS_VALUE) target += stream->start_time;
  av_seek_frame(file_->format(), stream_, target, AVSEEK_FLAG_BACKWARD);
  avcodec_flush_buffers(context_.get());
  draining_ = false;
}

CMTime StreamDecoder::presentationTime() const {
  const AVStream* stream = file_->format()->streams[stream_];
  int64_t pts = frame_->best_effort_timestamp;
  if (pts == AV_NOPTS_VALUE) pts = frame_->pts;
  if (pts == AV_NOPTS_VALUE) return kCMTimeInvalid;
  if (stream->start_time != AV_NOPTS_VALUE) pts -= stream->start_time;
  AVRational base = stream->time_base;
  if (base.den <= 0 || base.num <= 0 || base.num > 1000000) return kCMTimeInvalid;
  return CMTimeMake(pts * base.num, base.den);
}

}  // namespace avfoundation::internal
