#include "bench/media/ffmpeg_baseline.h"

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/stream_decoder.h"

using avfoundation::internal::BGRAConverter;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;

int64_t ffmpegDecodeToBGRA(const char* path) {
  // As many decoding threads as a player's video decoder uses.
  auto decoder = StreamDecoder::open(
      path, {StreamKind::kVideo, nullptr, avfoundation::internal::kVideoDecoderExtraThreads});
  if (!decoder) return 0;
  BGRAConverter converter;
  int64_t frames = 0;
  while (auto decoded = decoder->next()) {
    if (converter.convert(*decoded->frame)) ++frames;
  }
  return frames;
}
