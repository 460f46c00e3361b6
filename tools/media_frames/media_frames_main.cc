// Prints every video frame of a media file as FFmpeg itself decodes it (libavcodec, then swscale
// to tightly packed 32-bit BGRA of the same size), one line per frame in presentation order:
//
//   <presentation time in seconds> <width> <height> <SHA-256 of the BGRA bytes, hex>
//
// The reference the end-to-end tests compare a texture's frames with; it shares none of the host's
// decoding on purpose, only its owners of FFmpeg objects. Exit status 1, with a message, for a file it cannot decode.
#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/avfoundation/internal/ffmpeg_handles.h"

namespace {

using avfoundation::internal::CodecContextDeleter;
using avfoundation::internal::FrameDeleter;
using avfoundation::internal::PacketDeleter;
using avfoundation::internal::ScalerDeleter;

struct InputCloser {
  void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

std::string sha256Hex(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

class ReferenceDecoder {
 public:
  // An empty string on success, otherwise what went wrong.
  std::string open(const char* path) {
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path, nullptr, nullptr) < 0) return "cannot open the file";
    format_.reset(opened);
    if (avformat_find_stream_info(format_.get(), nullptr) < 0) return "cannot read its streams";
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream_ < 0 || codec == nullptr) return "no decodable video stream";
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_ ||
        avcodec_parameters_to_context(context_.get(), format_->streams[stream_]->codecpar) < 0 ||
        avcodec_open2(context_.get(), codec, nullptr) < 0) {
      return "cannot open the video decoder";
    }
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) return "out of memory";
    return {};
  }

  // Prints every frame; false after a decoding or conversion error.
  bool printFrames() {
    bool draining = false;
    while (true) {
      int received = avcodec_receive_frame(context_.get(), frame_.get());
      if (received == 0) {
        bool printed = printFrame();
        av_frame_unref(frame_.get());
        if (!printed) return false;
        continue;
      }
      if (received == AVERROR_EOF) return true;
      if (received != AVERROR(EAGAIN)) return false;
      if (draining) return true;
      if (av_read_frame(format_.get(), packet_.get()) < 0) {
        draining = true;
        avcodec_send_packet(context_.get(), nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) avcodec_send_packet(context_.get(), packet_.get());
      av_packet_unref(packet_.get());
    }
  }

 private:
  bool printFrame() {
    const int width = frame_->width, height = frame_->height;
    if (width <= 0 || height <= 0) return false;
    scaler_.reset(sws_getCachedContext(scaler_.release(), width, height,
                                       static_cast<AVPixelFormat>(frame_->format), width, height,
                                       AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_) return false;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 4, 0, 0, 0};
    if (sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, height, planes, strides) !=
        height) {
      return false;
    }
    std::printf("%.6f %d %d %s\n", presentationSeconds(), width, height, sha256Hex(pixels).c_str());
    return true;
  }

  double presentationSeconds() const {
    const AVStream* stream = format_->streams[stream_];
    int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return 0;
    if (stream->start_time != AV_NOPTS_VALUE) pts -= stream->start_time;
    return static_cast<double>(pts) * av_q2d(stream->time_base);
  }

  std::unique_ptr<AVFormatContext, InputCloser> format_;
  int stream_ = -1;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> context_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <media file>\n", argv[0]);
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  ReferenceDecoder decoder;
  if (std::string problem = decoder.open(argv[1]); !problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], problem.c_str());
    return 1;
  }
  if (!decoder.printFrames()) {
    std::fprintf(stderr, "%s: decoding failed\n", argv[1]);
    return 1;
  }
  return 0;
}
