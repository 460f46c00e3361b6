#include "platform/avfoundation/internal/media_video_feed.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "platform/avfoundation/internal/ffmpeg_handles.h"
#include "platform/avfoundation/internal/stream_decoder.h"

namespace avfoundation::internal {
namespace {

// Converts decoded frames to 32BGRA pixel buffers of the same size.
class BGRAConverter {
 public:
  CVPixelBufferRef convert(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) return nullptr;
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                       static_cast<AVPixelFormat>(frame.format), frame.width,
                                       frame.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr,
                                       nullptr, nullptr));
    if (!scaler_) return nullptr;
    CVPixelBufferRef buffer;
    if (CVPixelBufferCreate(static_cast<size_t>(frame.width), static_cast<size_t>(frame.height),
                            kCVPixelFormatType_32BGRA, &buffer) != kCVReturnSuccess) {
      return nullptr;
    }
    uint8_t* planes[4] = {buffer->baseAddress(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(buffer->bytesPerRow()), 0, 0, 0};
    sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return buffer;
  }

 private:
  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
};

}  // namespace

MediaVideoFeed::MediaVideoFeed(std::string path, VideoFeedSink sink)
    : path_(std::move(path)), sink_(std::move(sink)) {}

void MediaVideoFeed::run() {
  auto decoder = StreamDecoder::open(path_, StreamKind::kVideo);
  if (!decoder) return;
  BGRAConverter converter;
  ItemTimeJumps jumps;
  std::optional<double> lastDelivered;
  bool ended = false;
  while (!worker_.stopped()) {
    auto now = sink_.itemTime();
    if (!now) return;
    if (jumps.jumped(*now, lastDelivered)) {
      decoder->seek(*now);
      sink_.discardAll();
      lastDelivered.reset();
      ended = false;
    }
    if (ended || sink_.framesAhead(*now) >= kVideoFramesAhead) {
      if (!worker_.rest()) return;
      continue;
    }
    const AVFrame* decoded = decoder->next();
    if (decoded == nullptr) {
      ended = true;
      continue;
    }
    CVPixelBufferRef frame = converter.convert(*decoded);
    if (!frame) continue;
    CMTime time = decoder->presentationTime();
    if (CMTIME_IS_INVALID(time)) time = kCMTimeZero;
    lastDelivered = CMTimeGetSeconds(time);
    sink_.deliver(time, std::move(frame));
  }
}

}  // namespace avfoundation::internal
