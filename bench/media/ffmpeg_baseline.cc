#include "bench/media/ffmpeg_baseline.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

int64_t ffmpegDecodeToBGRA(const char* path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) != 0) return 0;
  avformat_find_stream_info(format, nullptr);
  const AVCodec* codec = nullptr;
  int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
  context->thread_count = 0;
  avcodec_open2(context, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* scaler = nullptr;
  std::vector<uint8_t> pixels;
  int64_t frames = 0;
  auto drain = [&] {
    while (avcodec_receive_frame(context, frame) == 0) {
      scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                    static_cast<AVPixelFormat>(frame->format), frame->width,
                                    frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                    nullptr);
      pixels.resize(static_cast<size_t>(frame->width) * frame->height * 4);
      uint8_t* planes[4] = {pixels.data()};
      int strides[4] = {frame->width * 4};
      sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
      ++frames;
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == stream) avcodec_send_packet(context, packet);
    av_packet_unref(packet);
    drain();
  }
  avcodec_send_packet(context, nullptr);
  drain();
  sws_freeContext(scaler);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  avformat_close_input(&format);
  return frames;
}
