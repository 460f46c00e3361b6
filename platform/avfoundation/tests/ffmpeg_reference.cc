#include "platform/avfoundation/tests/ffmpeg_reference.h"

extern "C" {
#include <libavutil/frame.h>
}

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/stream_decoder.h"

using avfoundation::internal::BGRAConverter;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;

std::optional<ReferenceFrame> ffmpegFrameAt(const std::string& path, double seconds) {
  auto decoder = StreamDecoder::open(path, {StreamKind::kVideo, nullptr, 0});
  if (!decoder) return std::nullopt;
  BGRAConverter converter;
  std::optional<ReferenceFrame> shown;
  while (auto decoded = decoder->next()) {
    double time = CMTimeGetSeconds(decoded->time);
    if (time > seconds && shown) break;
    ReferenceFrame frame{time, decoded->frame->width, decoded->frame->height, {}};
    if (!converter.convert(*decoded->frame, &frame.pixels)) return std::nullopt;
    shown = std::move(frame);
    if (time > seconds) break;
  }
  return shown;
}
